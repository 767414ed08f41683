// Keeps the launcher from loading DLLs out of its own directory. It runs
// elevated from wherever it was downloaded to, and that folder may hold a
// planted DLL under the name of a system library.
#include "start_checks.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFn)(DWORD);
typedef BOOL(WINAPI* SetDllDirectoryAFn)(LPCSTR);

// Both calls are newer than the oldest systems the launcher runs on, so they
// are looked up rather than imported.
void RestrictDllSearch()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    if (hKernel == NULL)
        return;
    SetDefaultDllDirectoriesFn pSetDefault =
        (SetDefaultDllDirectoriesFn)(void*)GetProcAddress(hKernel, "SetDefaultDllDirectories");
    if (pSetDefault != NULL && pSetDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Without it, at least take the current directory out of the search.
    SetDllDirectoryAFn pSetDllDir =
        (SetDllDirectoryAFn)(void*)GetProcAddress(hKernel, "SetDllDirectoryA");
    if (pSetDllDir != NULL)
        pSetDllDir("");
}
