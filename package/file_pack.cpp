// Appends one file as a record to a package file; the first call of a
// package (bAdd 0) starts it afresh with the header marker. The source is
// streamed through one 4096-byte buffer.
#include "package.h"
#include "file_util.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

namespace
{

// The packer's lines go to two module logs under one prefix.
const ModuleLog kPackLog = {"UtlPack", "utl_FilePack: ", 1};
const ModuleLog kFileLog = {"UtlFile", "utl_FilePack: ", 1};

// A failure of a system call: its code is stored and logged, then replaced
// by the packer's own number when there is one.
int FailWithSystemError(DWORD* pdwErr, const char* pszWhat, DWORD dwPackErr)
{
    DWORD dwSysErr = GetLastError();
    *pdwErr = dwSysErr;
    utl_ModuleLogF(&kPackLog, "%s%d", pszWhat, (int)dwSysErr);
    if (dwPackErr != 0)
        *pdwErr = dwPackErr;
    return 0;
}

int CheckAndPrepare(const char* pszSrcAbsFile, const char* pszDstAbsFile, DWORD* pdwErr, int bAdd,
                    DWORD* pdwSize)
{
    if (!utl_FileExists(pszSrcAbsFile)) {
        *pdwErr = PKG_ERR_NO_SOURCE;
        return 0;
    }
    if (utl_FileExists(pszDstAbsFile)) {
        if (!bAdd && !utl_DeleteFile(pszDstAbsFile)) {
            *pdwErr = PKG_ERR_DELETE_PACKAGE;
            return 0;
        }
    } else if (bAdd) {
        *pdwErr = PKG_ERR_NO_PACKAGE;
        return 0;
    }
    DWORD dwHigh = 0, dwLow = 0;
    int bSized = utl_GetFileSize(pszSrcAbsFile, &dwHigh, &dwLow);
    utl_ModuleLogF(&kPackLog, "%s dwSizeHigh = %d dwSizeLow = %d", pszSrcAbsFile, (int)dwHigh,
                   (int)dwLow);
    if (!bSized || dwHigh != 0) {
        *pdwErr = PKG_ERR_SIZE;
        return 0;
    }
    *pdwSize = dwLow;
    return 1;
}

// The header (new packages only), the two lengths and the name.
int WriteRecordHead(HANDLE hDst, const char* pszSrcAbsFile, const char* pszSrcFile, DWORD dwSize,
                    int bAdd, BYTE* pBuf, DWORD* pdwErr)
{
    DWORD dwWritten = 0;
    if (!bAdd) {
        utl_ModuleLogF(&kPackLog, "%s !bAdd.", pszSrcAbsFile);
        memcpy(pBuf, g_szPkgMarker, PKG_MARKER_LEN);
        if (!MixAndWrite(hDst, pBuf, PKG_MARKER_LEN)) {
            *pdwErr = PKG_ERR_WRITE;
            return 0;
        }
    }
    DWORD dwNameLen = (DWORD)strlen(pszSrcFile);
    utl_ModuleLogF(&kPackLog, "%s dwLenSrcFile = %d sizeof(DWORD) = %d", pszSrcAbsFile,
                   (int)dwNameLen, (int)sizeof(DWORD));
    if (!WriteFile(hDst, &dwNameLen, sizeof dwNameLen, &dwWritten, NULL))
        return FailWithSystemError(pdwErr, "WriteFile 1 failed with err ", PKG_ERR_WRITE);
    utl_ModuleLogF(&kPackLog, "%s dwSizeLow = %d sizeof(DWORD) = %d", pszSrcAbsFile, (int)dwSize,
                   (int)sizeof(DWORD));
    if (!WriteFile(hDst, &dwSize, sizeof dwSize, &dwWritten, NULL))
        return FailWithSystemError(pdwErr, "WriteFile 2 failed with err ", PKG_ERR_WRITE);
    // Scrambled in the transfer buffer, so the caller's name stays as it was.
    memcpy(pBuf, pszSrcFile, dwNameLen);
    if (!MixAndWrite(hDst, pBuf, dwNameLen))
        return FailWithSystemError(pdwErr, "MixAndWrite 1 failed with err ", PKG_ERR_WRITE);
    return 1;
}

// A source read that fails halfway leaves a record shorter than its length
// field says; that is a failure, never a success. The first chunk is cut so
// that the rest land on 4096-byte boundaries of the package: a write across
// two pages of the file costs more than one within a page.
int CopySource(HANDLE hSrc, HANDLE hDst, BYTE* pBuf, DWORD* pdwErr)
{
    LARGE_INTEGER zero = {}, pos = {};
    SetFilePointerEx(hDst, zero, &pos, FILE_CURRENT);
    DWORD cbChunk = PKG_CHUNK - (DWORD)(pos.QuadPart % PKG_CHUNK);
    for (;; cbChunk = PKG_CHUNK) {
        DWORD dwRead = 0;
        if (!ReadFile(hSrc, pBuf, cbChunk, &dwRead, NULL))
            return FailWithSystemError(pdwErr, "ReadFile failed with err ", 0);
        if (dwRead == 0)
            return 1;
        if (!MixAndWrite(hDst, pBuf, dwRead))
            return FailWithSystemError(pdwErr, "MixAndWrite 2 failed with err ", PKG_ERR_WRITE);
    }
}

} // namespace

int utl_FilePack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                 const char* pszDstFile, DWORD* pdwErr, int bAdd)
{
    if (pszSrcPath == NULL || pszSrcFile == NULL || pszDstPath == NULL || pszDstFile == NULL) {
        *pdwErr = PKG_ERR_NULL_ARG;
        return 0;
    }
    utl_ModuleLogF(&kPackLog, "pszSrcPath = %s pszSrcFile = %s pszDstPath = %s pszDstFile = %s",
                   pszSrcPath, pszSrcFile, pszDstPath, pszDstFile);
    if (strlen(pszSrcPath) + strlen(pszSrcFile) >= MAX_PATH ||
        strlen(pszDstPath) + strlen(pszDstFile) >= MAX_PATH) {
        *pdwErr = PKG_ERR_PATH_TOO_LONG;
        return 0;
    }
    char szSrcAbsFile[UTL_PATH_BUF], szDstAbsFile[UTL_PATH_BUF];
    utl_JoinPath(szSrcAbsFile, sizeof szSrcAbsFile, pszSrcPath, pszSrcFile);
    utl_JoinPath(szDstAbsFile, sizeof szDstAbsFile, pszDstPath, pszDstFile);
    utl_ModuleLogF(&kFileLog, "szSrcAbsFile = %s szDstAbsFile = %s", szSrcAbsFile, szDstAbsFile);

    DWORD dwSize = 0;
    if (!CheckAndPrepare(szSrcAbsFile, szDstAbsFile, pdwErr, bAdd, &dwSize))
        return 0;

    int bResult = 0;
    BYTE buf[PKG_CHUNK];
    HANDLE hDst = INVALID_HANDLE_VALUE;
    HANDLE hSrc = utl_OpenFileForRead(szSrcAbsFile);
    if (hSrc == INVALID_HANDLE_VALUE) {
        FailWithSystemError(pdwErr, "utl_OpenFileForRead failed with err ", PKG_ERR_OPEN);
        goto out;
    }
    hDst = utl_NewOrOpenFileForWrite(szDstAbsFile);
    if (hDst == INVALID_HANDLE_VALUE) {
        FailWithSystemError(pdwErr, "utl_NewOrOpenFileForWrite failed with err ", PKG_ERR_OPEN);
        goto out;
    }
    SetFilePointer(hDst, 0, NULL, FILE_END);
    bResult = WriteRecordHead(hDst, szSrcAbsFile, pszSrcFile, dwSize, bAdd, buf, pdwErr) &&
              CopySource(hSrc, hDst, buf, pdwErr);

out:
    if (hSrc != INVALID_HANDLE_VALUE)
        CloseHandle(hSrc);
    if (hDst != INVALID_HANDLE_VALUE)
        CloseHandle(hDst);
    return bResult;
}
