// Makes (or reuses) a work directory under C:\tmp. A reused directory is
// emptied of its files; its subdirectories are the caller's business.
#include "file_util.h"

#include <stdio.h>
#include <string.h>

static const char kTmpRoot[] = "C:\\tmp";

int utl_CreateTempDir(char* pszOut, size_t cbOut, const char* pszPrefix, int bUnique)
{
    if (!utl_DirExists(kTmpRoot) && !CreateDirectoryA(kTmpRoot, NULL))
        return 0;

    char szPath[UTL_PATH_BUF];
    unsigned uNumber = bUnique ? GetTickCount() : 0;
    int cch = snprintf(szPath, sizeof szPath, "%s\\%s%u", kTmpRoot, pszPrefix, uNumber);
    if (cch < 0 || (size_t)cch >= sizeof szPath || (size_t)cch >= cbOut)
        return 0;

    if (utl_DirExists(szPath)) {
        memcpy(pszOut, szPath, cch + 1);
        utl_DeleteFilesInDir(szPath, "*.*");
        return 1;
    }
    if (!CreateDirectoryA(szPath, NULL))
        return 0;
    memcpy(pszOut, szPath, cch + 1);
    return 1;
}
