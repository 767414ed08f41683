// Joins a directory and a name with one backslash. Compositions that would
// not fit the caller's buffer are refused rather than cut, so a shortened
// path can never name some other file.
#include "file_util.h"

#include <string.h>

int utl_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName)
{
    if (cbOut == 0)
        return 0;
    pszOut[0] = '\0';
    size_t cchDir = strlen(pszDir);
    size_t cchName = strlen(pszName);
    if (cchDir + 1 + cchName >= cbOut)
        return 0;
    memcpy(pszOut, pszDir, cchDir);
    pszOut[cchDir] = '\\';
    memcpy(pszOut + cchDir + 1, pszName, cchName + 1);
    return 1;
}
