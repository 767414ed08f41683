// Where the launcher runs from, and whether its file is long enough to carry
// a package behind the program image.
#include "launch_steps.h"
#include "package.h"
#include "file_util.h"
#include "log.h"

#include <string.h>

void GetOwnPath(OwnPath* pOwn)
{
    memset(pOwn, 0, sizeof *pOwn);
    GetModuleFileNameA(NULL, pOwn->szFull, sizeof pOwn->szFull - 1);
    char* pszSlash = strrchr(pOwn->szFull, '\\');
    if (pszSlash == NULL) {
        strcpy(pOwn->szFile, pOwn->szFull);
        return;
    }
    memcpy(pOwn->szDir, pOwn->szFull, pszSlash - pOwn->szFull);
    strcpy(pOwn->szFile, pszSlash + 1);
}

int CheckOwnSize(const OwnPath* pOwn, int bQuiet, const char** ppszSrcDir)
{
    const char* pszSized = pOwn->szFull;
    *ppszSrcDir = pOwn->szDir;
    if (!utl_FileExists(pOwn->szFull)) {
        WriteSetupLog(pOwn->szFull);
        pszSized = pOwn->szFile;
        *ppszSrcDir = ".";
    }
    DWORD dwHigh = 0, dwLow = 0;
    int bSized = bQuiet ? utl_GetFileSizeQuiet(pszSized, &dwHigh, &dwLow)
                        : utl_GetFileSize(pszSized, &dwHigh, &dwLow);
    return bSized && dwHigh == 0 && dwLow > PKG_OFFSET;
}
