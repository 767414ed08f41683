// How the tool tells a failure: one line on stderr that names the file,
// what failed, the error number with its meaning and what to do from the
// error catalogue, and the system's reason where there is one; the exit code
// is 1 (TOOL_FAILED).
#pragma once

#include <stdint.h>

// One failure, on stderr, and TOOL_FAILED:
//   <tool> <command>: "<file>" <what>: error N: <meaning> (<the system's
//   reason>). <what to do>
// without the file when pszFile is NULL, without what failed when pszWhat
// is NULL, without a number when dwErr is 0 (pszWhat then says all), without
// the system's reason when dwSysErr is 0.
int tool_Fail(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
              uint32_t dwSysErr);
// The same with what to do said by the command, where it knows better than
// the number ("" for nothing).
int tool_FailToDo(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
                  uint32_t dwSysErr, const char* pszToDo);
// Names that messages give unquoted: standard input and output for "-".
extern const char g_szToolStdin[];
extern const char g_szToolStdout[];
// A failed walk of pszPackage into pszDest ("." for a walk that writes
// nothing): the file it concerns (the package; for what the destination
// refused, the file of pszRecord there, the record being written, or the
// folder), and for a refused name a note on code pages.
int tool_FailWalk(const char* pszCommand, const char* pszPackage, const char* pszDest,
                  const char* pszRecord, uint32_t dwErr, uint32_t dwSysErr, uint32_t uCodePage);
// After a walk refused a name (165) in the default code page: a note that
// --codepage reads the names in another.
void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage);
