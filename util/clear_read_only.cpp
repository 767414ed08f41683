// Clears a file's read-only attribute and keeps all its other attributes.
#include "file_util.h"

DWORD utl_ClearReadOnly(const char* pszPath)
{
    if (pszPath == NULL)
        return UTL_ERR_NULL_PATH;
    if (!utl_FileExists(pszPath))
        return UTL_ERR_NO_FILE;
    DWORD dwAttr = GetFileAttributesA(pszPath);
    if (dwAttr == INVALID_FILE_ATTRIBUTES)
        return UTL_ERR_GET_ATTRIBUTES;
    if (!(dwAttr & FILE_ATTRIBUTE_READONLY))
        return 0;
    DWORD dwRest = dwAttr & ~FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesA(pszPath, dwRest ? dwRest : FILE_ATTRIBUTE_NORMAL))
        return UTL_ERR_SET_ATTRIBUTES;
    return 0;
}
