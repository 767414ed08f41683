// The release engineers' tool: one command per file, each taking the
// arguments that follow its own name. The commands are portable; what they
// need of the system they run on is in tool_os.h, one edge for Windows
// (setuptool.exe) and one for Linux (kelvo-setuptool).
#pragma once

#include "tool_messages.h"

#include <stddef.h>
#include <stdint.h>

struct ToolFile;
struct ToolOutput;

// Exit codes shared by every command.
enum {
    TOOL_OK = 0,
    TOOL_FAILED = 1,
    TOOL_USAGE = 2,
};

// The whole tool: the command word and its arguments, as main gets them.
int tool_Main(int argc, char** argv);
// A command line the command cannot take: says on stderr what is wrong
// with it, gives the command's own lines of the usage text, and returns
// TOOL_USAGE.
#ifdef __MINGW_PRINTF_FORMAT
__attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)))
#else
__attribute__((format(printf, 2, 3)))
#endif
int tool_WrongCommandLine(const char* pszCommand, const char* pszFormat, ...);

// The commands; argv holds the arguments after the command word.
int cmd_Pack(int argc, char** argv);
int cmd_Build(int argc, char** argv);
int cmd_Check(int argc, char** argv);
int cmd_List(int argc, char** argv);
int cmd_Unpack(int argc, char** argv);
int cmd_Vrf(int argc, char** argv);
int cmd_Pwd(int argc, char** argv);
int cmd_Custom(int argc, char** argv);
int cmd_Log(int argc, char** argv);

// --quiet: no progress on stderr, only failures.
extern int g_bToolQuiet;

// Progress on stderr. Work of cbTotal bytes (nRecords records, 0: not
// known) shows how far it has come on one line of a terminal, when it is
// more than about 100 MB; tool_Note prints a line of progress (a record's
// name) unless --quiet was given, above that line.
void tool_ProgressBegin(const char* pszCommand, uint64_t cbTotal, int nRecords);
void tool_ProgressAt(uint64_t cbDone, int nDone);
#ifdef __MINGW_PRINTF_FORMAT
__attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)))
#else
__attribute__((format(printf, 1, 2)))
#endif
void tool_Note(const char* pszFormat, ...);
void tool_ProgressEnd();

// JSON on stdout: a string (bytes that are no UTF-8 escaped), a record name
// or path of code page uCodePage (0: this system's), and a member's name
// with the comma before it unless bFirst.
void tool_JsonString(const char* pszText);
void tool_JsonName(const char* pszName, uint32_t uCodePage);
void tool_JsonMember(const char* pszName, int bFirst);

// A record name from a package as the tool prints it; a static buffer.
const char* tool_ShownName(const char* pszName, uint32_t uCodePage);
int tool_SplitPath(const char* pszPath, char* pszDir, size_t cbDir, char* pszName, size_t cbName);
int tool_ParseOffset(const char* pszText, uint32_t* pdwOffset);
// "--codepage N" among the *pargc arguments: takes the two out and sets
// *puCodePage (0 when they are not there). 0, with the command line told
// wrong, for a code page the tools do not know or a second --codepage.
int tool_TakeCodePage(const char* pszCommand, int* pargc, char** argv, uint32_t* puCodePage);
// An argument that is an option: one that begins with "-" (but "-" itself,
// standard input or output), and does not follow "--".
int tool_IsOption(const char* pszArg);
// The option pszFlag, not an operand of that name after "--".
int tool_IsFlag(const char* pszArg, const char* pszFlag);
int tool_IsOperand(const char* pszArg);
// "--offset N" at argv[*pi]: the offset, with *pi moved past it; 0, with the
// command line told wrong, when N is missing or no offset.
int tool_TakeOffset(const char* pszCommand, int argc, char** argv, int* pi, uint32_t* pdwOffset);
// A path the system takes whole: 0, with 151 printed, for one too long.
int tool_CheckPath(const char* pszCommand, const char* pszPath);
// A file to read ("-": standard input, which must be a file), opened; NULL,
// with the failure printed (151, 152, 156), when it cannot be.
ToolFile* tool_OpenInput(const char* pszCommand, const char* pszPath);
// Where the package of the setup or package file stands: the offset given,
// or where the package header stands (307200 in a built setup, 0 in a bare
// package). 0, with the failure printed, for a file that is not there or
// does not open, and for a program with no package behind it.
int tool_LocatePackage(const char* pszCommand, const char* pszPath, int bOffsetGiven,
                       uint32_t* pdwOffset);
// The folder and every missing folder above it; 0, with 158 printed, when it
// is not there afterwards.
int tool_MakeDirs(const char* pszCommand, const char* pszDir);
// The file a command writes (pszKind "package" or "setup"), opened as a new
// file that takes its place when complete, or standard output for "-"; NULL,
// with the failure printed.
ToolOutput* tool_OpenOutput(const char* pszCommand, const char* pszPath, const char* pszKind);
// Puts it in place: 1, or 0 with the failure printed.
int tool_CommitOutput(const char* pszCommand, const char* pszPath, ToolOutput** ppOut);
// A write to the output failed: the failure printed, the output discarded;
// the exit code (TOOL_USAGE for standard output, as any failed write to it).
int tool_FailOutput(const char* pszCommand, const char* pszPath, ToolOutput** ppOut,
                    uint32_t dwSysErr);
// Whether the file is the one the output replaces: a command that would read
// what it writes refuses it, as tar does (1, with the failure printed).
int tool_IsOwnOutput(const char* pszCommand, ToolOutput* pOut, ToolFile* pFile, const char* pszPath,
                     const char* pszKind);
// A path as messages name it: "-" is standard input or output.
const char* tool_InputName(const char* pszPath);
const char* tool_OutputName(const char* pszPath);
// A file argument that is empty: the command line is told wrong.
int tool_EmptyName(const char* pszCommand, int argc, const char* const* argv);
