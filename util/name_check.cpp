// Name checks for texts that become file names. The two differ only in the
// tab and the apostrophe, which their callers treat differently.
#include "path_util.h"

int utl_IsValidFileName(const char* pszText)
{
    return utl_FindAnsiChar(pszText, "\\/:*?\"<>|\t", 0) == NULL ? 1 : 0;
}

int utl_IsValidFileName2(const char* pszText)
{
    return utl_FindAnsiChar(pszText, "\\/:*?\"<>|'", 0) == NULL ? 1 : 0;
}
