// Loads version.dll by its full path in the system directory, so that the
// DLL search never looks in the directory the launcher was started from.
#include "file_version.h"
#include "path_util.h"

#include <string.h>

int utl_LoadVersionLibrary(VersionLibrary* pLib)
{
    memset(pLib, 0, sizeof *pLib);
    pLib->hModule = utl_LoadSystemLibrary("version.dll");
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
