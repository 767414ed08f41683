// Reads the fixed part of a file's version resource through the version
// library of the system directory. Both entry points share the four steps;
// getVer logs what failed, utl_GetFileVersion hands back the step and the
// system error instead.
#include "file_version.h"
#include "log.h"
#include "path_util.h"

#include <stdio.h>
#include <string.h>

struct VersionRead {
    DWORD dwMS;
    DWORD dwLS;
    WORD wStage;   // 0 on success, else FILE_VERSION_STAGE_*
    DWORD dwError; // the system error of the failed step
};

// By its full path in the system directory, so that the DLL search never
// looks in the directory the launcher was started from.
int utl_LoadVersionLibrary(VersionLibrary* pLib)
{
    memset(pLib, 0, sizeof *pLib);
    pLib->hModule = utl_LoadSystemLibrary("version.dll");
    if (pLib->hModule == NULL)
        return 0;
    pLib->pfnGetSize = WINDOWS_FUNCTION(pLib->hModule, GetFileVersionInfoSizeA);
    pLib->pfnGetInfo = WINDOWS_FUNCTION(pLib->hModule, GetFileVersionInfoA);
    pLib->pfnQuery = WINDOWS_FUNCTION(pLib->hModule, VerQueryValueA);
    if (pLib->pfnGetSize == NULL || pLib->pfnGetInfo == NULL || pLib->pfnQuery == NULL) {
        DWORD dwErr = GetLastError();
        utl_FreeVersionLibrary(pLib);
        SetLastError(dwErr);
        return 0;
    }
    return 1;
}

void utl_FreeVersionLibrary(VersionLibrary* pLib)
{
    if (pLib->hModule != NULL)
        FreeLibrary(pLib->hModule);
    memset(pLib, 0, sizeof *pLib);
}

static void ReadFixedVersion(const char* pszFile, VersionRead* pRead)
{
    pRead->wStage = 0;
    pRead->dwError = 0;
    VersionLibrary lib;
    void* pBlock = NULL;
    DWORD dwHandle = 0;
    DWORD cbBlock = 0;
    VS_FIXEDFILEINFO* pFixed = NULL;
    UINT cbFixed = 0;

    // A version library that cannot be loaded fails the first step.
    if (!utl_LoadVersionLibrary(&lib) || (cbBlock = lib.pfnGetSize(pszFile, &dwHandle)) == 0) {
        pRead->wStage = FILE_VERSION_STAGE_SIZE;
        pRead->dwError = GetLastError();
        goto out;
    }
    pBlock = HeapAlloc(GetProcessHeap(), 0, cbBlock);
    if (pBlock == NULL) {
        pRead->wStage = FILE_VERSION_STAGE_MEMORY;
        goto out;
    }
    if (!lib.pfnGetInfo(pszFile, 0, cbBlock, pBlock)) {
        pRead->wStage = FILE_VERSION_STAGE_READ;
        pRead->dwError = GetLastError();
        goto out;
    }
    if (!lib.pfnQuery(pBlock, "\\", (void**)&pFixed, &cbFixed) || pFixed == NULL ||
        cbFixed < sizeof *pFixed) {
        pRead->wStage = FILE_VERSION_STAGE_QUERY;
        pRead->dwError = GetLastError();
        goto out;
    }
    pRead->dwMS = pFixed->dwFileVersionMS;
    pRead->dwLS = pFixed->dwFileVersionLS;
out:
    if (pBlock != NULL)
        HeapFree(GetProcessHeap(), 0, pBlock);
    utl_FreeVersionLibrary(&lib);
}

static const char* StageText(WORD wStage)
{
    switch (wStage) {
    case FILE_VERSION_STAGE_SIZE:
        return "get-size failed.";
    case FILE_VERSION_STAGE_MEMORY:
        return "new-mem failed.";
    case FILE_VERSION_STAGE_READ:
        return "get version info failed.";
    default:
        return "qury-ver failed.";
    }
}

int getVer(const char* pszModule, const char* pszFile, DWORD* pdwVersionMS, DWORD* pdwVersionLS)
{
    VersionRead read;
    ReadFixedVersion(pszFile, &read);
    if (read.wStage != 0) {
        char szLine[64];
        snprintf(szLine, sizeof szLine, "getVer:%s", StageText(read.wStage));
        utl_WriteModuleLog(pszModule, szLine, 0);
        return 0;
    }
    *pdwVersionMS = read.dwMS;
    *pdwVersionLS = read.dwLS;
    return 1;
}

int utl_GetFileVersion(const char* pszFile, FileVersionResult* pResult)
{
    VersionRead read;
    ReadFixedVersion(pszFile, &read);
    if (read.wStage != 0) {
        pResult->fail.errorCode = read.dwError;
        pResult->fail.stage = read.wStage;
        return 0;
    }
    pResult->ver.major = HIWORD(read.dwMS);
    pResult->ver.minor = LOWORD(read.dwMS);
    pResult->ver.build = HIWORD(read.dwLS);
    pResult->ver.revision = LOWORD(read.dwLS);
    return 1;
}
