// What the tool's commands need of the system they run on: files to read
// and write, the package walk over them, record names in a code page, and
// the texts of system error codes. tools/windows/ is setuptool.exe's edge,
// tools/unix/ kelvo-setuptool's.
#pragma once

#include "record_walk.h"

// The program's own name, for messages and the usage ("setuptool",
// "kelvo-setuptool").
extern const char g_szToolName[];

enum { TOOL_PATH_BUF = PKG_PATH_MAX + 1 };

// A file the tool reads or writes. Every call that fails leaves the
// system's error code for tos_LastError.
struct ToolFile;
ToolFile* tos_OpenRead(const char* pszPath);
// Standard input, to be read as a file ("-" as a setup or package): NULL
// (tos_LastError tells why) unless it is a file that can be read from its
// start and measured; *pbPipe says that it is a pipe or a terminal.
ToolFile* tos_OpenStdin(int* pbPipe);
// The package code's stream shapes, with the ToolFile as their context.
uint32_t tos_Read(void* pFile, void* pBuf, uint32_t cb, uint32_t* pcbRead);
uint32_t tos_Write(void* pFile, const void* pBuf, uint32_t cb);
int tos_Size(ToolFile* pFile, uint64_t* pcb);
int tos_Seek(ToolFile* pFile, uint64_t cbFromStart);
// Safe on NULL; sets it NULL. 0 when what was written could not be kept.
int tos_Close(ToolFile** ppFile);

// A file a command writes: a new file that takes the named file's place
// only when it is complete (a link's target's place, in the target's folder,
// keeping the replaced file's mode, owner and group where the system has
// them), or standard output for "-", written as it goes.
struct ToolOutput;
enum ToolOutputFault {
    TOS_OUTPUT_OPEN,
    TOS_OUTPUT_FOLDER,   // a folder stands at the name
    TOS_OUTPUT_SPECIAL,  // a device, a FIFO or a socket, which is never replaced
    TOS_OUTPUT_TERMINAL, // "-", and standard output is a terminal
    TOS_OUTPUT_NO_ROOM,  // no temporary name fits beside it
    TOS_OUTPUT_NO_DIR,   // the folder it goes in is not there
    TOS_OUTPUT_FAILED,   // the new file cannot be made (tos_LastError tells why)
};
ToolOutputFault tos_OpenOutput(const char* pszPath, ToolOutput** ppOut);
ToolFile* tos_OutputFile(ToolOutput* pOut);
// Whether pFile is the file the output replaces, or standard output's file.
int tos_IsOutputFile(ToolOutput* pOut, ToolFile* pFile);
// Puts the new file in place: 0, or the system's code (the new file is
// then gone). Standard output is only flushed.
uint32_t tos_CommitOutput(ToolOutput** ppOut);
// Safe on NULL: the new file is gone, the named file as it was.
void tos_DiscardOutput(ToolOutput** ppOut);
// Whether the output is standard output.
int tos_OutputIsStdout(const ToolOutput* pOut);
// Whether standard error is a terminal that a progress line may overwrite.
int tos_StderrIsTerminal();

int tos_IsDir(const char* pszPath);
// The entries of a folder but "." and "..", one call each: 1, or 0 when it
// cannot be listed (tos_LastError tells why).
int tos_ListDir(const char* pszDir, void (*pfnEntry)(void* pCtx, const char* pszName, int bDir),
                void* pCtx);
int tos_MakeDir(const char* pszPath);
uint32_t tos_LastError();
// The system's code of the last call that failed in this thread, whoever
// made it: for a library that tells only its own numbers (the .vrf writer).
uint32_t tos_SystemError();
// Whether a system error code says that nothing is at the path.
int tos_IsMissing(uint32_t dwSysErr);
// The system's own words for its error code, without a closing full stop.
const char* tos_ErrorText(uint32_t dwSysErr);
// What stands at a path the unpacker would not write into, as the message
// says it ("is a symbolic link"); NULL when the system does not tell.
const char* tos_WhatStandsThere(const char* pszPath);
int tos_IsSeparator(char c);
// The separator the tool joins a folder and a name with, and paths in its
// messages.
extern const char g_chToolSeparator;
// Where `log` reads when no folder is named: the launchers' log folder on
// Windows; NULL on Linux, which has none.
const char* tos_DefaultLogDir();

// main's own arguments, for an edge that reads the command line again
// (Windows: in UTF-16, for the names the ANSI one cannot carry); and the
// edge's start (Linux: a closed pipe fails a write instead of killing the
// tool, so that it can say so).
void tos_KeepArguments(int argc, char** argv);

// A source named on pack's command line (pszArg one of main's own argv
// strings, not a copy), opened for reading by the name the system gave it;
// what stands there otherwise (tos_LastError tells why one does not open).
enum ToolSource { TOS_SOURCE_OPEN, TOS_SOURCE_DIR, TOS_SOURCE_MISSING, TOS_SOURCE_UNREADABLE };
ToolSource tos_OpenSource(const char* pszArg, ToolFile** ppFile);
// The record name of such a source: its own file name in uCodePage's bytes
// (0: this system's own; on Linux, which has none, ASCII). 0 when the code
// page has no place for one of its characters.
int tos_RecordName(const char* pszArg, uint32_t uCodePage, char* pszOut, size_t cbOut);
// A text of code page uCodePage (0: this system's own; a Linux path, its
// bytes) in UTF-8, for JSON.
void tos_TextToUtf8(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut);
// Any text of a PC in code page uCodePage as the tool prints it, into
// pszOut (0: as this system shows its own).
void tos_ShowText(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut);

// The package walk over this system's files (pszPackage "-": standard
// input); after a failure *pdwSysErr holds the system's error code of the
// call that failed (0: none did). pWatch (may be NULL) gets the seal's
// check.
int tos_Walk(const char* pszPackage, const char* pszDstDir, uint32_t* pdwErr, uint32_t* pdwSysErr,
             uint32_t dwOffset, const UnpackVariant* pVariant, PkgWatch* pWatch);
