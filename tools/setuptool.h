// The release engineers' tool: one command per file, each taking the
// arguments that follow its own name. The commands are portable; what they
// need of the system they run on is in tool_os.h, one edge for Windows
// (setuptool.exe) and one for Linux (kelvo-setuptool).
#pragma once

#include <stddef.h>
#include <stdint.h>

// Exit codes shared by every command.
enum {
    TOOL_OK = 0,
    TOOL_FAILED = 1,
    TOOL_USAGE = 2,
};

// The whole tool: the command word and its arguments, as main gets them.
int tool_Main(int argc, char** argv);
// Prints the usage text to stderr and returns TOOL_USAGE.
int tool_Usage();

// The commands; argv holds the arguments after the command word.
int cmd_Pack(int argc, char** argv);
int cmd_Build(int argc, char** argv);
int cmd_Check(int argc, char** argv);
int cmd_List(int argc, char** argv);
int cmd_Unpack(int argc, char** argv);
int cmd_Vrf(int argc, char** argv);
int cmd_Pwd(int argc, char** argv);
int cmd_Custom(int argc, char** argv);

int tool_SplitPath(const char* pszPath, char* pszDir, size_t cbDir, char* pszName, size_t cbName);
int tool_ParseOffset(const char* pszText, uint32_t* pdwOffset);
// "--codepage N" among the *pargc arguments: takes the two out and sets
// *puCodePage (0 when they are not there). 0, with the reason printed, for a
// code page the tools do not know.
int tool_TakeCodePage(int* pargc, char** argv, uint32_t* puCodePage);
uint32_t tool_FindPackageOffset(const char* pszPath);
// The package file split for the walk, and its offset: the one given, or
// the one found. 0 when the path cannot be split.
int tool_LocatePackage(const char* pszPath, int bOffsetGiven, uint32_t* pdwOffset, char* pszDir,
                       char* pszName, size_t cbEach);
// The meaning of one of the package code's error numbers; any other number
// is taken for a system error code.
const char* tool_ErrorText(uint32_t dwErr);
// Windows folds ASCII letters in file names: "a.txt" and "A.TXT" name one
// file.
int tool_SameName(const char* pszA, const char* pszB);
// A path beside pszPath for writing a file that replaces pszPath only when
// complete; tool_Replace puts it in place (1), or removes it (0, with the
// reason printed for the command).
int tool_TempBeside(const char* pszPath, char* pszTemp, size_t cbTemp);
int tool_Replace(const char* pszCommand, const char* pszTemp, const char* pszPath);
// Prints "error N: meaning" for the command and returns TOOL_FAILED.
int tool_Fail(const char* pszCommand, uint32_t dwErr);
// After a walk refused a name (165) in the default code page: a note that
// --codepage reads the names in another.
void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage);
