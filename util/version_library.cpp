// Loads version.dll by its full path in the system directory, so that the
// DLL search never looks in the directory the launcher was started from.
#include "file_version.h"
#include "file_util.h"

#include <string.h>

int utl_LoadVersionLibrary(VersionLibrary* pLib)
{
    memset(pLib, 0, sizeof *pLib);
    char szSystem[UTL_PATH_BUF], szPath[UTL_PATH_BUF];
    UINT cch = GetSystemDirectoryA(szSystem, sizeof szSystem);
    if (cch == 0 || cch >= sizeof szSystem ||
        !utl_JoinPath(szPath, sizeof szPath, szSystem, "version.dll")) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    pLib->hModule = LoadLibraryA(szPath);
    if (pLib->hModule == NULL)
        return 0;
    pLib->pfnGetSize = (DWORD(WINAPI*)(LPCSTR, LPDWORD))(void*)GetProcAddress(
        pLib->hModule, "GetFileVersionInfoSizeA");
    pLib->pfnGetInfo = (BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID))(void*)GetProcAddress(
        pLib->hModule, "GetFileVersionInfoA");
    pLib->pfnQuery = (BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT))(void*)GetProcAddress(
        pLib->hModule, "VerQueryValueA");
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
