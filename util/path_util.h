// Paths of the running program and of the system, and checks on names.
#pragma once

#include <windows.h>

// The directory of the running program, with a trailing backslash when
// bKeepSeparator is nonzero. Failures are logged to the "UtlCommon" module
// log and return 0.
int getCurRunPath(char* pszBuf, unsigned cbBuf, int bKeepSeparator);

// A library of the system directory, loaded by its full path; NULL with the
// system's error code when it cannot be loaded.
HMODULE utl_LoadSystemLibrary(const char* pszName);

// The system's Common Files directory, as HKEY_LOCAL_MACHINE records it,
// cached for the life of the process after the first successful lookup;
// NULL when it cannot be found. Never taken from the environment.
const char* utl_GetCommonProgramFiles();
// The Windows directory, as the system gives it; 0 when it does not fit.
int utl_GetWindowsDir(char* pszOut, unsigned cbOut);

// Nonzero when the text holds none of the characters Windows forbids in file
// names. The first also refuses a tab, the second an apostrophe instead.
int utl_IsValidFileName(const char* pszText);
int utl_IsValidFileName2(const char* pszText);

// The first (or, with bLast, the last) character of pszText that is one of
// the single-byte characters of pszSet, or NULL; the trail byte of a
// double-byte character never matches.
const char* utl_FindAnsiChar(const char* pszText, const char* pszSet, int bLast);

// Cuts the path at (or, with bKeepSeparator, just after) its last backslash.
// NULL, and the path unchanged, when it is null, empty or has no backslash.
char* utl_CutAtLastSeparator(char* pszPath, int bKeepSeparator);
