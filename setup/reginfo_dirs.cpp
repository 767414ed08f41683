// Where the installed client keeps its verified INI pairs: the reginfo
// directory under Common Files, and the older location it is migrated from.
#include "password_gate.h"
#include "file_util.h"
#include "path_util.h"

static int CommonFilesPath(const char* pszTail, char* pszOut, size_t cbOut)
{
    const char* pszCommon = utl_GetCommonProgramFiles();
    if (pszCommon == NULL) {
        if (cbOut > 0)
            pszOut[0] = '\0';
        return 0;
    }
    return utl_JoinPath(pszOut, cbOut, pszCommon, pszTail);
}

int GetReginfoDir(char* pszOut, size_t cbOut)
{
    return CommonFilesPath("Kelvo\\Sarnet\\reginfo", pszOut, cbOut);
}

int GetLegacyReginfoDir(char* pszOut, size_t cbOut)
{
    return CommonFilesPath("Ostmarin\\Sarnet\\reginfo", pszOut, cbOut);
}

int GetLegacyTopDir(char* pszOut, size_t cbOut)
{
    return CommonFilesPath("Ostmarin", pszOut, cbOut);
}
