// Keeps the launcher from loading DLLs out of its own directory or the
// current one. It runs elevated from wherever it was downloaded to, and that
// folder may hold a planted DLL under the name of a system library. What was
// set, and how, goes into the run's first lines, so that a log shows the
// search each run had.
#include "start_checks.h"
#include "log.h"
#include "win_functions.h"

#include <stdio.h>

// The headers declare neither for the oldest systems the launchers build for.
DECL_WINDOWS_FUNCTION(static, BOOL, SetDefaultDllDirectories, (DWORD));
DECL_WINDOWS_FUNCTION(static, BOOL, SetDllDirectoryA, (LPCSTR));

static char s_szDllSearch[128] = "DLL search: not restricted (kernel32 was not found).";

static void SayDllSearch(const char* pszWhat, DWORD dwErr)
{
    if (dwErr != 0)
        snprintf(s_szDllSearch, sizeof s_szDllSearch, "DLL search: %s, err %lu.", pszWhat,
                 (unsigned long)dwErr);
    else
        snprintf(s_szDllSearch, sizeof s_szDllSearch, "DLL search: %s.", pszWhat);
}

// Both calls are newer than the oldest systems the launcher runs on, so they
// are looked up rather than imported. Vista and 7 have the first only with
// the update that brought it; the second at least takes the current
// directory out of the search.
void RestrictDllSearch()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    if (hKernel == NULL)
        return;
    DWORD dwErr = 0;
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, SetDefaultDllDirectories) != NULL) {
        if (p_SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
            SayDllSearch("the system directory only, set by SetDefaultDllDirectories", 0);
            return;
        }
        dwErr = GetLastError();
    }
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, SetDllDirectoryA) != NULL &&
        p_SetDllDirectoryA("")) {
        SayDllSearch(dwErr != 0 ? "without the current directory, set by SetDllDirectory "
                                  "(SetDefaultDllDirectories failed)"
                                : "without the current directory, set by SetDllDirectory (this "
                                  "Windows has no SetDefaultDllDirectories)",
                     dwErr);
        return;
    }
    SayDllSearch("not restricted", dwErr != 0 ? dwErr : GetLastError());
}

void LogDllSearch()
{
    WriteSetupLog(s_szDllSearch);
}
