// Loads a library from the system directory by its full path, so that the
// search never looks in the directory the launcher was started from, where a
// planted copy could lie.
#include "path_util.h"
#include "file_util.h"

HMODULE utl_LoadSystemLibrary(const char* pszName)
{
    char szSystem[UTL_PATH_BUF], szPath[UTL_PATH_BUF];
    UINT cch = GetSystemDirectoryA(szSystem, sizeof szSystem);
    if (cch == 0 || cch >= sizeof szSystem ||
        !utl_JoinPath(szPath, sizeof szPath, szSystem, pszName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    return LoadLibraryA(szPath);
}
