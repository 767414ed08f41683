// What the customisation code needs of the system it runs on: small files
// read whole or in part and written anew, INI values, the program's own
// directory and a seed for the verification files' random bytes. Win32 in
// the launchers and setuptool.exe (custom/windows/), POSIX in the Linux tool
// (custom/unix/). Portable declarations: no Windows headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A path and its terminator: Windows' limit there, the tool's on Linux.
#ifdef _WIN32
enum { CUS_PATH_BUF = 261 };
#else
enum { CUS_PATH_BUF = 4097 };
#endif

// dir, the separator, name; 0 (and an empty text) when it does not fit:
// a shortened path could name some other file.
int cus_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName);
// The directory of the running program, without a trailing separator.
int cus_ProgramDir(char* pszOut, size_t cbOut);

// A file, not a directory, is there.
int cus_FileExists(const char* pszPath);
// The size of a file (never a directory's); 0 when it cannot be had.
int cus_FileSize(const char* pszPath, uint64_t* pcb);
// Exactly cb bytes from offset on, or 0.
int cus_ReadFileAt(const char* pszPath, uint32_t dwOffset, void* pBuf, uint32_t cb);
// Removes the old file (read-only or not) and writes a new one in its place:
// 0, or the verification writers' VRF_ERR_CREATE / VRF_ERR_WRITE.
int cus_WriteNewFile(const char* pszPath, const void* pData, uint32_t cb);
// Renames a file; fails when the new name is taken.
int cus_MoveFile(const char* pszFrom, const char* pszTo);

// Different at every call, in this process and in others.
uint64_t cus_Seed();

// The private-profile reads and the write, as Windows does them: a missing
// key reads as the empty text (0 characters) or as nDefault; at most
// cbOut - 1 characters come back.
unsigned cus_IniString(const char* pszFile, const char* pszSection, const char* pszKey,
                       char* pszOut, unsigned cbOut);
int cus_IniInt(const char* pszFile, const char* pszSection, const char* pszKey, int nDefault);
int cus_SetIniString(const char* pszFile, const char* pszSection, const char* pszKey,
                     const char* pszValue);
