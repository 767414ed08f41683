// The version numbers in an executable file's version resource. The version
// library is loaded at run time from the system directory, never imported:
// the launcher runs from download folders, where a planted version.dll
// would otherwise be loaded in its place.
#pragma once

#include "win_functions.h"

#include <windows.h>

// Read one of two ways: ver after success, fail after failure.
union FileVersionResult {
    struct {
        WORD major;    // high word of the file version's most significant half
        WORD minor;    // low word of the same
        WORD build;    // high word of the least significant half
        WORD revision; // low word of the same
    } ver;
    struct {
        DWORD errorCode; // the system error code; 0 when memory ran out
        WORD stage;      // FILE_VERSION_STAGE_*
        WORD unused;     // left as it was
    } fail;
};

enum {
    FILE_VERSION_STAGE_SIZE = 1,   // asking for the resource's size failed
    FILE_VERSION_STAGE_MEMORY = 2, // no memory for the resource
    FILE_VERSION_STAGE_READ = 3,   // reading the resource failed
    FILE_VERSION_STAGE_QUERY = 4,  // its fixed part could not be found
};

// The two 32-bit halves of the file version. Failures are logged under the
// caller's module name ("getVer:" and what failed).
int getVer(const char* pszModule, const char* pszFile, DWORD* pdwVersionMS, DWORD* pdwVersionLS);
int utl_GetFileVersion(const char* pszFile, FileVersionResult* pResult);

// The three calls of the version library, from the system directory's copy.
WINDOWS_FUNCTION_TYPE(DWORD, GetFileVersionInfoSizeA, (LPCSTR, LPDWORD));
WINDOWS_FUNCTION_TYPE(BOOL, GetFileVersionInfoA, (LPCSTR, DWORD, DWORD, LPVOID));
WINDOWS_FUNCTION_TYPE(BOOL, VerQueryValueA, (LPCVOID, LPCSTR, LPVOID*, PUINT));
struct VersionLibrary {
    HMODULE hModule;
    t_GetFileVersionInfoSizeA pfnGetSize;
    t_GetFileVersionInfoA pfnGetInfo;
    t_VerQueryValueA pfnQuery;
};

// Fills pLib; 0 (with the system error set) when the library or one of its
// calls cannot be had. utl_FreeVersionLibrary is safe after either result.
int utl_LoadVersionLibrary(VersionLibrary* pLib);
void utl_FreeVersionLibrary(VersionLibrary* pLib);
