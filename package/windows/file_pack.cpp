// The Win32 edge of the packer: utl_FilePack appends one file as a record to
// a package file; the first call of a package (bAdd 0) starts it afresh with
// the header marker. The source is opened first and measured through its
// handle, and the record takes exactly that many bytes; the lines go to the
// "UtlPack" and "UtlFile" module logs. The source is streamed through one
// 4096-byte buffer.
#include "package.h"
#include "record_writer.h"
#include "file_util.h"
#include "log.h"

#include <string.h>

namespace
{

// The packer's lines go to two module logs under one prefix.
const ModuleLog kPackLog = {"UtlPack", "utl_FilePack: ", 1};
const ModuleLog kFileLog = {"UtlFile", "utl_FilePack: ", 1};

void LogToUtlPack(const char* pszLine)
{
    utl_WriteModuleLog("UtlPack", pszLine, 0);
}

// A failed open: the system's code is logged, the packer's number stored.
int FailWithSystemError(DWORD* pdwErr, const char* pszWhat, DWORD dwPackErr)
{
    utl_ModuleLogF(&kPackLog, "%s%d", pszWhat, (int)GetLastError());
    *pdwErr = dwPackErr;
    return 0;
}

int Fail(DWORD* pdwErr, DWORD dwErr)
{
    *pdwErr = dwErr;
    return 0;
}

// The source exists, the old package is gone (a new package) or there (an
// added record).
int CheckFiles(const char* pszSrcAbsFile, const char* pszDstAbsFile, DWORD* pdwErr, int bAdd)
{
    if (!utl_FileExists(pszSrcAbsFile))
        return Fail(pdwErr, PKG_ERR_NO_SOURCE);
    if (utl_FileExists(pszDstAbsFile)) {
        if (!bAdd && !utl_DeleteFile(pszDstAbsFile))
            return Fail(pdwErr, PKG_ERR_DELETE_PACKAGE);
    } else if (bAdd) {
        return Fail(pdwErr, PKG_ERR_NO_PACKAGE);
    }
    return 1;
}

// What is measured is the file that was opened.
int MeasureSource(HANDLE hSrc, const char* pszSrcAbsFile, DWORD* pdwSize, DWORD* pdwErr)
{
    LARGE_INTEGER size = {};
    int bSized = GetFileSizeEx(hSrc, &size) != 0;
    utl_ModuleLogF(&kPackLog, "%s dwSizeHigh = %d dwSizeLow = %d", pszSrcAbsFile,
                   (int)(DWORD)(size.QuadPart >> 32), (int)(DWORD)size.QuadPart);
    if (!bSized || (size.QuadPart >> 32) != 0)
        return Fail(pdwErr, PKG_ERR_SIZE);
    *pdwSize = (DWORD)size.QuadPart;
    return 1;
}

uint32_t ReadSource(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(*(HANDLE*)pCtx, pBuf, cb, &dwRead, NULL);
    *pcbRead = dwRead;
    return bRead ? 0 : (uint32_t)GetLastError();
}

uint32_t WritePackage(void* pCtx, const void* pBuf, uint32_t cb)
{
    DWORD dwWritten = 0;
    if (!WriteFile(*(HANDLE*)pCtx, pBuf, cb, &dwWritten, NULL))
        return (uint32_t)GetLastError();
    return dwWritten == cb ? 0 : ERROR_DISK_FULL;
}

// The header (new packages only) and the record, at the package's end.
int WriteRecord(HANDLE hDst, HANDLE hSrc, const char* pszSrcAbsFile, const char* pszSrcFile,
                DWORD dwSize, int bAdd, DWORD* pdwErr)
{
    LARGE_INTEGER zero = {}, end = {};
    SetFilePointerEx(hDst, zero, &end, FILE_END);
    BYTE buf[PKG_CHUNK];
    PkgPackOut out = {&hDst, WritePackage, LogToUtlPack, (uint64_t)end.QuadPart, buf, PKG_CHUNK};
    if (!bAdd) {
        utl_ModuleLogF(&kPackLog, "%s !bAdd.", pszSrcAbsFile);
        if (pkg_WriteHeader(&out) != 0)
            return Fail(pdwErr, PKG_ERR_WRITE);
    }
    uint32_t dwErr = 0;
    if (pkg_WriteRecord(&out, pszSrcAbsFile, pszSrcFile, dwSize, &hSrc, ReadSource, &dwErr))
        return 1;
    return Fail(pdwErr, dwErr);
}

} // namespace

int utl_FilePack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                 const char* pszDstFile, DWORD* pdwErr, int bAdd)
{
    if (pszSrcPath == NULL || pszSrcFile == NULL || pszDstPath == NULL || pszDstFile == NULL)
        return Fail(pdwErr, PKG_ERR_NULL_ARG);
    utl_ModuleLogF(&kPackLog, "pszSrcPath = %s pszSrcFile = %s pszDstPath = %s pszDstFile = %s",
                   pszSrcPath, pszSrcFile, pszDstPath, pszDstFile);
    if (strlen(pszSrcPath) + strlen(pszSrcFile) >= MAX_PATH ||
        strlen(pszDstPath) + strlen(pszDstFile) >= MAX_PATH)
        return Fail(pdwErr, PKG_ERR_PATH_TOO_LONG);
    char szSrcAbsFile[UTL_PATH_BUF], szDstAbsFile[UTL_PATH_BUF];
    utl_JoinPath(szSrcAbsFile, sizeof szSrcAbsFile, pszSrcPath, pszSrcFile);
    utl_JoinPath(szDstAbsFile, sizeof szDstAbsFile, pszDstPath, pszDstFile);
    utl_ModuleLogF(&kFileLog, "szSrcAbsFile = %s szDstAbsFile = %s", szSrcAbsFile, szDstAbsFile);
    if (!CheckFiles(szSrcAbsFile, szDstAbsFile, pdwErr, bAdd))
        return 0;

    int bResult = 0;
    DWORD dwSize = 0;
    HANDLE hDst = INVALID_HANDLE_VALUE;
    HANDLE hSrc = utl_OpenFileForRead(szSrcAbsFile);
    if (hSrc == INVALID_HANDLE_VALUE) {
        FailWithSystemError(pdwErr, "utl_OpenFileForRead failed with err ", PKG_ERR_OPEN);
        goto out;
    }
    if (!MeasureSource(hSrc, szSrcAbsFile, &dwSize, pdwErr))
        goto out;
    hDst = utl_NewOrOpenFileForWrite(szDstAbsFile);
    if (hDst == INVALID_HANDLE_VALUE) {
        FailWithSystemError(pdwErr, "utl_NewOrOpenFileForWrite failed with err ", PKG_ERR_OPEN);
        goto out;
    }
    bResult = WriteRecord(hDst, hSrc, szSrcAbsFile, pszSrcFile, dwSize, bAdd, pdwErr);

out:
    utl_CloseHandle(&hSrc);
    utl_CloseHandle(&hDst);
    return bResult;
}
