// File and directory utilities over the ANSI Win32 file API: joining paths,
// existence and link tests, opening, reading and sizing files, deleting files
// and removing directory trees, and numbered temporary directories under
// C:\tmp (the launchers' work directory is made new, in core/work_dir.cpp).
// None of the deletions follows a link.
#include "file_util.h"
#include "held_dir.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

// Compositions that would not fit the caller's buffer are refused rather
// than cut, so a shortened path can never name some other file.
int utl_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName)
{
    if (cbOut == 0)
        return 0;
    pszOut[0] = '\0';
    size_t cchDir = strlen(pszDir);
    size_t cchName = strlen(pszName);
    if (cchDir + 1 + cchName >= cbOut)
        return 0;
    memcpy(pszOut, pszDir, cchDir);
    pszOut[cchDir] = '\\';
    memcpy(pszOut + cchDir + 1, pszName, cchName + 1);
    return 1;
}

// A directory never counts as a file and a file never counts as a directory;
// a pattern matching both kinds of entry satisfies both tests.
static int AnyEntryOfKind(const char* pszPattern, int bWantDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(pszPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    int bFound = 0;
    do {
        int bIsDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bIsDir == bWantDir) {
            bFound = 1;
            break;
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return bFound;
}

int utl_FileExists(const char* pszPattern)
{
    return AnyEntryOfKind(pszPattern, 0);
}

int utl_DirExists(const char* pszPattern)
{
    return AnyEntryOfKind(pszPattern, 1);
}

// The two ways the package code opens files. Neither logs: the caller knows
// what the file was for and reports the system error itself.

// Read from start to end: the system may read ahead.
HANDLE utl_OpenFileForRead(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

// An existing file is opened as it stands, not truncated.
HANDLE utl_NewOrOpenFileForWrite(const char* pszPath)
{
    return CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
}

int utl_IsPlainFileOfOneName(HANDLE hFile)
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(hFile, &info) &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) &&
           info.nNumberOfLinks == 1 && GetFileType(hFile) == FILE_TYPE_DISK;
}

void utl_CloseHandle(HANDLE* phFile)
{
    if (*phFile != INVALID_HANDLE_VALUE)
        CloseHandle(*phFile);
    *phFile = INVALID_HANDLE_VALUE;
}

// The readers of small fixed-size blocks (.vrf records, icon blocks, INI
// bytes) want all of them or nothing: a short read is a failure.
int utl_ReadFileAt(const char* pszPath, DWORD dwOffset, void* pBuf, DWORD cbWanted)
{
    HANDLE hFile = utl_OpenFileForRead(pszPath);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    DWORD cbRead = 0;
    BOOL bRead = SetFilePointer(hFile, (LONG)dwOffset, NULL, FILE_BEGIN) == dwOffset &&
                 (cbWanted == 0 || ReadFile(hFile, pBuf, cbWanted, &cbRead, NULL));
    CloseHandle(hFile);
    return bRead && cbRead == cbWanted;
}

// The size as two 32-bit halves, for callers that must tell sizes of 4 GiB
// and more apart. The quiet form, for the lite launcher, logs nothing.
static int ReadFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow, int bLog)
{
    if (!utl_FileExists(pszPath))
        return 0;

    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!GetFileAttributesExA(pszPath, GetFileExInfoStandard, &fad)) {
        if (!bLog)
            return 0;
        char szLine[128];
        snprintf(szLine, sizeof szLine, "utl_GetFileSize: GetFileAttributesEx failed with err.%u.",
                 (unsigned)GetLastError());
        utl_WriteModuleLog("UtlFile", szLine, 0);
        return 0;
    }
    *pdwHigh = fad.nFileSizeHigh;
    *pdwLow = fad.nFileSizeLow;
    return 1;
}

int utl_GetFileSize(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow)
{
    return ReadFileSize(pszPath, pdwHigh, pdwLow, 1);
}

int utl_GetFileSizeQuiet(const char* pszPath, DWORD* pdwHigh, DWORD* pdwLow)
{
    return ReadFileSize(pszPath, pdwHigh, pdwLow, 0);
}

// Clears the read-only attribute and keeps all the file's other attributes.
DWORD utl_ClearReadOnly(const char* pszPath)
{
    if (pszPath == NULL)
        return UTL_ERR_NULL_PATH;
    if (!utl_FileExists(pszPath))
        return UTL_ERR_NO_FILE;
    DWORD dwAttr = GetFileAttributesA(pszPath);
    if (dwAttr == INVALID_FILE_ATTRIBUTES)
        return UTL_ERR_GET_ATTRIBUTES;
    if (!(dwAttr & FILE_ATTRIBUTE_READONLY))
        return 0;
    DWORD dwRest = dwAttr & ~FILE_ATTRIBUTE_READONLY;
    if (!SetFileAttributesA(pszPath, dwRest ? dwRest : FILE_ATTRIBUTE_NORMAL))
        return UTL_ERR_SET_ATTRIBUTES;
    return 0;
}

// Deletes the file even when it is read-only, hidden or system; a file that
// is already gone counts as deleted.
int utl_DeleteFile(const char* pszPath)
{
    if (!utl_FileExists(pszPath))
        return 1;
    SetFileAttributesA(pszPath, FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(pszPath) ? 1 : 0;
}

// A directory that is a link is never entered: the elevated launcher must
// not delete or change files that only a link leads to. Entries go through
// handles opened relative to the held directory (utl_RemoveHeldEntries), so
// nothing swapped in between a look and a removal is followed either.
static void RemoveFromDir(const char* pszDir, const char* pszPattern, int nKinds)
{
    HANDLE hDir = utl_HoldDir(pszDir);
    if (hDir == INVALID_HANDLE_VALUE)
        return;
    if (utl_IsPlainHeldDir(hDir, pszDir))
        utl_RemoveHeldEntries(hDir, pszPattern, nKinds);
    CloseHandle(hDir);
}

// Subdirectories are left alone; a file that cannot be deleted is skipped so
// that as many as possible go, and a link among the files is deleted as a
// link.
void utl_DeleteFilesInDir(const char* pszDir, const char* pszPattern)
{
    RemoveFromDir(pszDir, pszPattern, UTL_REMOVE_FILES);
}

// Removes the directory with what the walk of nKinds leaves of it: a link is
// removed as a link, through the handle opened on it, and nothing behind it
// is touched; a directory that still has entries stays.
static int RemoveDirWith(const char* pszDir, int nKinds)
{
    HANDLE hDir = utl_HoldDirForRemoval(pszDir);
    if (hDir == INVALID_HANDLE_VALUE)
        return 0;
    int bRemoved = 0;
    if (utl_IsPlainHeldDir(hDir, pszDir)) {
        utl_RemoveHeldEntries(hDir, "*", nKinds);
        bRemoved = utl_DeleteHeldDir(hDir);
    } else {
        bRemoved = utl_RemoveHeldLink(hDir);
    }
    CloseHandle(hDir);
    return bRemoved;
}

// Empties the directory of its files and removes it; one that still has
// subdirectories stays, without complaint.
void utl_RemoveDir(const char* pszDir)
{
    if (utl_DirExists(pszDir))
        RemoveDirWith(pszDir, UTL_REMOVE_FILES);
}

int utl_RemoveDirTree(const char* pszDir)
{
    if (!utl_DirExists(pszDir))
        return 1;
    return RemoveDirWith(pszDir, UTL_REMOVE_ALL);
}

void utl_RemoveSubDirs(const char* pszDir)
{
    RemoveFromDir(pszDir, "*", UTL_REMOVE_DIRS);
}

// Makes (or reuses) a work directory under C:\tmp. A reused directory is
// emptied of its files; its subdirectories are the caller's business.
int utl_CreateTempDir(char* pszOut, size_t cbOut, const char* pszPrefix, int bUnique)
{
    if (!utl_DirExists(UTL_TMP_ROOT) && !CreateDirectoryA(UTL_TMP_ROOT, NULL))
        return 0;

    char szPath[UTL_PATH_BUF];
    unsigned uNumber = bUnique ? GetTickCount() : 0;
    int cch = snprintf(szPath, sizeof szPath, "%s\\%s%u", UTL_TMP_ROOT, pszPrefix, uNumber);
    if (cch < 0 || (size_t)cch >= sizeof szPath || (size_t)cch >= cbOut)
        return 0;

    if (utl_DirExists(szPath)) {
        memcpy(pszOut, szPath, cch + 1);
        utl_DeleteFilesInDir(szPath, "*.*");
        return 1;
    }
    if (!CreateDirectoryA(szPath, NULL))
        return 0;
    memcpy(pszOut, szPath, cch + 1);
    return 1;
}
