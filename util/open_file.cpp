// The two ways the package code opens files. Neither logs: the caller knows
// what the file was for and reports the system error itself.
#include "file_util.h"

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
