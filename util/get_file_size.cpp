// Reads a file's size as two 32-bit halves, for callers that must tell sizes
// of 4 GiB and more apart. The quiet form, for the lite launcher, logs nothing.
#include "file_util.h"
#include "log.h"

#include <stdio.h>

static int ReadFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow, int bLog)
{
    if (!utl_FileExists(pszPath))
        return 0;

    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &fad)) {
        if (!bLog)
            return 0;
        char szLine[128];
        snprintf(szLine, sizeof szLine, "utl_GetFileSize: GetFileAttributesEx failed with err.%u.",
                 (unsigned)GetLastError());
        utl_WriteModuleLog("UtlFile", szLine, 0);
        return 0;
    }
    *pdwHigh = fad.nFileSizeHigh;
    *pdwLow = fad.nFileSizeLow;
    return 1;
}

int utl_GetFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow)
{
    return ReadFileSize(pszPath, pdwHigh, pdwLow, 1);
}

int utl_GetFileSizeQuiet(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow)
{
    return ReadFileSize(pszPath, pdwHigh, pdwLow, 0);
}
