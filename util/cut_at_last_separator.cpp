// Cuts a path in place at its last backslash; the slash is not a separator
// for it.
#include "path_util.h"

char* utl_CutAtLastSeparator(char* pszPath, int bKeepSeparator)
{
    if (pszPath == NULL || pszPath[0] == '\0')
        return NULL;
    char* pszSlash = (char*)utl_FindAnsiChar(pszPath, "\\", 1);
    if (pszSlash == NULL)
        return NULL;
    pszSlash[bKeepSeparator ? 1 : 0] = '\0';
    return pszPath;
}
