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
int cmd_Log(int argc, char** argv);

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
// What the package code reports: the catalogue's meaning of one of its error
// numbers, or the system's text of the code the packer passes on for a
// source that cannot be read.
const char* tool_PackageErrorText(uint32_t dwErr);
// A path beside pszPath for writing a file that replaces pszPath only when
// complete; tool_Replace puts it in place (1), or removes it (0, with the
// reason printed for the command).
int tool_TempBeside(const char* pszPath, char* pszTemp, size_t cbTemp);
int tool_Replace(const char* pszCommand, const char* pszTemp, const char* pszPath);
// Prints "<tool> <command>: error N: <meaning>" for one of our error numbers,
// its meaning from the catalogue, and returns TOOL_FAILED.
int tool_Fail(const char* pszCommand, uint32_t dwErr);
// The same for what the package code reports (tool_PackageErrorText).
int tool_FailPackage(const char* pszCommand, uint32_t dwErr);
// After a walk refused a name (165) in the default code page: a note that
// --codepage reads the names in another.
void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage);
