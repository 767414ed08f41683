// File and directory utilities over the ANSI Win32 file API.
#pragma once

#include <windows.h>

#include "error_numbers.h"

enum {
    UTL_PATH_BUF = MAX_PATH + 1, // 260 characters plus the terminator
};

// Where the launchers' work directories are made.
#define UTL_TMP_ROOT "C:\\tmp"

int utl_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName);

int utl_FileExists(const char* pszPattern);
int utl_DirExists(const char* pszPattern);
int utl_DeleteFile(const char* pszPath);
void utl_DeleteFilesInDir(const char* pszDir, const char* pszPattern);

void utl_RemoveDir(const char* pszDir);
int utl_RemoveDirTree(const char* pszDir);
void utl_RemoveSubDirs(const char* pszDir);
int utl_CreateTempDir(char* pszOut, size_t cbOut, const char* pszPrefix, int bUnique);

int utl_GetFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow);
int utl_GetFileSizeQuiet(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow);
HANDLE utl_OpenFileForRead(const char* pszPath);
HANDLE utl_NewOrOpenFileForWrite(const char* pszPath);
// 1 when the open file is a plain disk file of one name: not a link (opened
// as itself), not a directory, not a second name of a file elsewhere.
int utl_IsPlainFileOfOneName(HANDLE hFile);
// Closes a handle that may be INVALID_HANDLE_VALUE and marks it so: safe to
// call twice.
void utl_CloseHandle(HANDLE* phFile);
// 1 when exactly cbWanted bytes were read from dwOffset on.
int utl_ReadFileAt(const char* pszPath, DWORD dwOffset, void* pBuf, DWORD cbWanted);
DWORD utl_ClearReadOnly(const char* pszPath);
