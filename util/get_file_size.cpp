// Reads a file's size as two 32-bit halves, for callers that must tell sizes
// of 4 GiB and more apart.
#include "file_util.h"
#include "log.h"

#include <stdio.h>

int utl_GetFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow)
{
    if (!utl_FileExists(pszPath))
        return 0;

    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &fad)) {
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
