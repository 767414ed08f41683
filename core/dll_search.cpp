// Keeps the launcher from loading DLLs out of its own directory. It runs
// elevated from wherever it was downloaded to, and that folder may hold a
// planted DLL under the name of a system library.
#include "start_checks.h"
#include "win_functions.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// The headers declare neither for the oldest systems the launchers build for.
DECL_WINDOWS_FUNCTION(static, BOOL, SetDefaultDllDirectories, (DWORD));
DECL_WINDOWS_FUNCTION(static, BOOL, SetDllDirectoryA, (LPCSTR));

// Both calls are newer than the oldest systems the launcher runs on, so they
// are looked up rather than imported.
void RestrictDllSearch()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    if (hKernel == NULL)
        return;
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, SetDefaultDllDirectories) != NULL &&
        p_SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Without it, at least take the current directory out of the search.
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, SetDllDirectoryA) != NULL)
        p_SetDllDirectoryA("");
}
