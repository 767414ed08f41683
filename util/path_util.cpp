// The directory of the running program's own file. Callers build the paths
// of files installed beside the program from it, so a path the system had
// to cut short is refused, not used.
#include "path_util.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

static int RunPathFailed(const char* pszKind, const char* pszDetail)
{
    char szLine[512]; // the longest kind text and a whole path
    snprintf(szLine, sizeof szLine, "getCurRunPath: %s%s", pszKind, pszDetail);
    utl_WriteModuleLog("UtlCommon", szLine, 0);
    return 0;
}

int getCurRunPath(char* pszBuf, unsigned cbBuf, int bKeepSeparator)
{
    if (pszBuf == NULL || cbBuf == 0)
        return RunPathFailed("invalid paras.", "");

    memset(pszBuf, 0, cbBuf);
    DWORD cch = GetModuleFileNameA(NULL, pszBuf, cbBuf);
    if (cch == 0) {
        char szErr[32];
        snprintf(szErr, sizeof szErr, "%u.", (unsigned)GetLastError());
        return RunPathFailed("calling getModuleFileName failed with ErrNo ", szErr);
    }
    if (cch >= cbBuf) {
        pszBuf[cbBuf - 1] = '\0';
        return RunPathFailed("insufficient buffer -- ", pszBuf);
    }

    if (utl_CutAtLastSeparator(pszBuf, bKeepSeparator) == NULL)
        return RunPathFailed("lack of separator -- ", pszBuf);
    return 1;
}
