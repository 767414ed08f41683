// The customisation code's Win32 edge: the launchers' own file utilities
// (whose failures log as they always have) and the private-profile calls.
#include "cus_platform.h"
#include "vrf.h"
#include "file_util.h"
#include "path_util.h"

int cus_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName)
{
    return utl_JoinPath(pszOut, cbOut, pszDir, pszName);
}

int cus_ProgramDir(char* pszOut, size_t cbOut)
{
    return getCurRunPath(pszOut, (unsigned)cbOut, 0);
}

int cus_FileExists(const char* pszPath)
{
    return utl_FileExists(pszPath);
}

int cus_FileSize(const char* pszPath, uint64_t* pcb)
{
    DWORD dwHigh = 0, dwLow = 0;
    if (!utl_GetFileSize(pszPath, &dwHigh, &dwLow))
        return 0;
    *pcb = (uint64_t)dwHigh << 32 | dwLow;
    return 1;
}

int cus_ReadFileAt(const char* pszPath, uint32_t dwOffset, void* pBuf, uint32_t cb)
{
    return utl_ReadFileAt(pszPath, dwOffset, pBuf, cb);
}

int cus_WriteNewFile(const char* pszPath, const void* pData, uint32_t cb)
{
    utl_DeleteFile(pszPath);
    HANDLE hFile = CreateFileA(pszPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return VRF_ERR_CREATE;
    DWORD cbWritten = 0;
    BOOL bWritten = WriteFile(hFile, pData, cb, &cbWritten, NULL);
    CloseHandle(hFile);
    return bWritten && cbWritten == cb ? 0 : VRF_ERR_WRITE;
}

int cus_MoveFile(const char* pszFrom, const char* pszTo)
{
    return MoveFileA(pszFrom, pszTo) ? 1 : 0;
}

// The time at the clock's full resolution, mixed with the performance
// counter and the process id.
uint64_t cus_Seed()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    LARGE_INTEGER liCounter = {};
    QueryPerformanceCounter(&liCounter);
    return ((uint64_t)ft.dwHighDateTime << 32 | ft.dwLowDateTime) ^
           ((uint64_t)liCounter.QuadPart * 0x2545f4914f6cdd1dull) ^
           ((uint64_t)GetCurrentProcessId() << 40);
}

unsigned cus_IniString(const char* pszFile, const char* pszSection, const char* pszKey,
                       char* pszOut, unsigned cbOut)
{
    return GetPrivateProfileStringA(pszSection, pszKey, "", pszOut, cbOut, pszFile);
}

int cus_IniInt(const char* pszFile, const char* pszSection, const char* pszKey, int nDefault)
{
    return (int)GetPrivateProfileIntA(pszSection, pszKey, nDefault, pszFile);
}

int cus_SetIniString(const char* pszFile, const char* pszSection, const char* pszKey,
                     const char* pszValue)
{
    return WritePrivateProfileStringA(pszSection, pszKey, pszValue, pszFile) ? 1 : 0;
}
