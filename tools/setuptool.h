// The release engineers' tool: one command per file, each taking the
// arguments that follow its own name. The commands are portable; what they
// need of the system they run on is in tool_os.h, one edge for Windows
// (setuptool.exe) and one for Linux (kelvo-setuptool).
#pragma once

#include "tool_messages.h"

#include <stddef.h>
#include <stdint.h>

struct ToolFile;

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

// A record name from a package as the tool prints it; a static buffer.
const char* tool_ShownName(const char* pszName, uint32_t uCodePage);
int tool_SplitPath(const char* pszPath, char* pszDir, size_t cbDir, char* pszName, size_t cbName);
int tool_ParseOffset(const char* pszText, uint32_t* pdwOffset);
// "--codepage N" among the *pargc arguments: takes the two out and sets
// *puCodePage (0 when they are not there). 0, with the command line told
// wrong, for a code page the tools do not know or a second --codepage.
int tool_TakeCodePage(const char* pszCommand, int* pargc, char** argv, uint32_t* puCodePage);
// An argument that begins with "--".
int tool_IsOption(const char* pszArg);
// "--offset N" at argv[*pi]: the offset, with *pi moved past it; 0, with the
// command line told wrong, when N is missing or no offset.
int tool_TakeOffset(const char* pszCommand, int argc, char** argv, int* pi, uint32_t* pdwOffset);
// A path the system takes whole: 0, with 151 printed, for one too long.
int tool_CheckPath(const char* pszCommand, const char* pszPath);
// A file to read, opened; NULL, with the failure printed (151, 152, 156),
// when it cannot be.
ToolFile* tool_OpenInput(const char* pszCommand, const char* pszPath);
// The setup or package file to walk, split for the walk, and its offset: the
// one given, or where the package header stands (307200 in a built setup, 0
// in a bare package). 0, with the failure printed, for a file that is not
// there or does not open, and for a program with no package behind it.
int tool_LocatePackage(const char* pszCommand, const char* pszPath, int bOffsetGiven,
                       uint32_t* pdwOffset, char* pszDir, char* pszName);
// The folder and every missing folder above it; 0, with 158 printed, when it
// is not there afterwards.
int tool_MakeDirs(const char* pszCommand, const char* pszDir);
// A path beside pszPath for writing a file that replaces pszPath only when
// complete; tool_Replace puts it in place (1), or removes it (0, with the
// reason printed for the command).
int tool_TempBeside(const char* pszPath, char* pszTemp, size_t cbTemp);
int tool_Replace(const char* pszCommand, const char* pszTemp, const char* pszPath);
