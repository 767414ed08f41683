// Deletes one file even when it is read-only, hidden or system; a file that is
// already gone counts as deleted.
#include "file_util.h"

int utl_DeleteFile(const char* pszPath)
{
    if (!utl_FileExists(pszPath))
        return 1;
    SetFileAttributesA(pszPath, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(pszPath) ? 1 : 0;
}
