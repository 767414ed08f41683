// Extracts the records of a package found at an offset inside a file into an
// existing directory, streaming through one 4096-byte buffer. The setup and
// lite unpackers share this code; they differ only in logging and in whether
// the end record stops the extraction.
#include "package.h"
#include "file_util.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Unpack {
    const UnpackVariant* pVariant;
    ModuleLog log; // quiet for setup-lite
    DWORD* pdwErr;
    HANDLE hSrc;
    int bOwnSrc; // opened here by its path, not held by the caller
    HANDLE hDst;
    unsigned long long ullPackageLen;
    unsigned long long ullTotal; // bytes of the package accounted for; 64 bits never wrap
    BYTE buf[PKG_CHUNK];
};

enum RecordResult { RECORD_FAILED, RECORD_DONE, RECORD_END };

int Fail(Unpack* pRun, DWORD dwErr)
{
    if (pRun->pVariant->bLog) {
        char szLine[48];
        snprintf(szLine, sizeof szLine, "utl_FileUnpack:Err: %u.", (unsigned)dwErr);
        utl_WriteModuleLog("UtlFile", szLine, 0);
    }
    *pRun->pdwErr = dwErr;
    return 0;
}

// The size of a source the caller holds comes from its handle, so that what
// is measured is what is read.
int SizeSource(Unpack* pRun, const char* pszSrcAbsFile, DWORD* pdwHigh, DWORD* pdwLow)
{
    if (!pRun->bOwnSrc) {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(pRun->hSrc, &size))
            return 0;
        *pdwHigh = (DWORD)(size.QuadPart >> 32);
        *pdwLow = (DWORD)size.QuadPart;
        return 1;
    }
    return pRun->pVariant->bLog ? utl_GetFileSize(pszSrcAbsFile, pdwHigh, pdwLow)
                                : utl_GetFileSizeQuiet(pszSrcAbsFile, pdwHigh, pdwLow);
}

// Checks the arguments and the source, opens it (unless the caller holds it)
// and reads the header.
int OpenPackage(Unpack* pRun, const char* pszSrcPath, const char* pszSrcFile,
                const char* pszDstPath, DWORD dwOffset)
{
    if (pszSrcPath == NULL || pszSrcFile == NULL || pszDstPath == NULL)
        return Fail(pRun, PKG_ERR_NULL_ARG);
    utl_ModuleLogF(&pRun->log, "pszSrcPath = %s pszSrcFile = %s pszDstPath = %s", pszSrcPath,
                   pszSrcFile, pszDstPath);
    if (strlen(pszSrcPath) + strlen(pszSrcFile) >= MAX_PATH || strlen(pszDstPath) >= MAX_PATH)
        return Fail(pRun, PKG_ERR_PATH_TOO_LONG);

    char szSrcAbsFile[UTL_PATH_BUF];
    utl_JoinPath(szSrcAbsFile, sizeof szSrcAbsFile, pszSrcPath, pszSrcFile);
    int bSrcExists =
        pRun->bOwnSrc ? utl_FileExists(szSrcAbsFile) : pRun->hSrc != INVALID_HANDLE_VALUE;
    utl_ModuleLogF(&pRun->log, "szSrcAbsFile = %s", szSrcAbsFile);
    if (!bSrcExists)
        return Fail(pRun, PKG_ERR_NO_SOURCE);
    if (!utl_DirExists(pszDstPath))
        return Fail(pRun, PKG_ERR_NO_DEST_DIR);

    DWORD dwSizeHigh = 0, dwSizeLow = 0;
    int bSized = SizeSource(pRun, szSrcAbsFile, &dwSizeHigh, &dwSizeLow);
    utl_ModuleLogF(&pRun->log, "dwSizeHigh = %d dwSizeLow = %d", (int)dwSizeHigh, (int)dwSizeLow);
    if (!bSized || dwSizeHigh != 0 || dwOffset >= dwSizeLow)
        return Fail(pRun, PKG_ERR_SIZE);
    pRun->ullPackageLen = dwSizeLow - dwOffset;
    utl_ModuleLogF(&pRun->log, "dwSizeLow = dwSizeLow - dwOffset= %d", (int)pRun->ullPackageLen);

    if (pRun->bOwnSrc)
        pRun->hSrc = utl_OpenFileForRead(szSrcAbsFile);
    if (pRun->hSrc == INVALID_HANDLE_VALUE)
        return Fail(pRun, PKG_ERR_OPEN);
    LONG lHigh = 0;
    SetFilePointer(pRun->hSrc, (LONG)dwOffset, &lHigh, FILE_BEGIN);

    DWORD dwHeaderErr = pkg_ReadHeader(pRun->hSrc);
    if (dwHeaderErr != 0)
        return Fail(pRun, dwHeaderErr);
    pRun->ullTotal = PKG_MARKER_LEN;
    utl_ModuleLogF(&pRun->log, "dwCurTotalLen = %d", PKG_MARKER_LEN);
    return 1;
}

// Reads a record's two lengths and checks that the record fits.
int ReadLengths(Unpack* pRun, size_t cchDstPath, DWORD* pdwNameLen, DWORD* pdwDataLen)
{
    DWORD dwRead = 0;
    if (!ReadFile(pRun->hSrc, pdwNameLen, sizeof(DWORD), &dwRead, NULL)) {
        utl_ModuleLogF(&pRun->log, "ReadFile failed with err. %d", (int)GetLastError());
        return Fail(pRun, PKG_ERR_NAME_LENGTH);
    }
    utl_ModuleLogF(&pRun->log, "dwBufDataLen = %d dwCurFileNameLen = %d sizeof(DWORD) = %d",
                   (int)dwRead, (int)*pdwNameLen, (int)sizeof(DWORD));
    if (dwRead != sizeof(DWORD) || *pdwNameLen > PKG_MAX_NAME ||
        *pdwNameLen + cchDstPath >= MAX_PATH)
        return Fail(pRun, PKG_ERR_NAME_LENGTH);

    if (!ReadFile(pRun->hSrc, pdwDataLen, sizeof(DWORD), &dwRead, NULL) || dwRead != sizeof(DWORD))
        return Fail(pRun, PKG_ERR_DATA_LENGTH);

    pRun->ullTotal += 8ull + *pdwNameLen + *pdwDataLen;
    utl_ModuleLogF(&pRun->log, "dwCurTotalLen = %lld", (long long)pRun->ullTotal);
    if (pRun->ullTotal > pRun->ullPackageLen)
        return Fail(pRun, PKG_ERR_RECORD_OVERRUN);
    return 1;
}

// Copies a record's data and cuts an older, longer file to the record's size,
// so that every extracted file equals its record.
int CopyData(Unpack* pRun, DWORD dwDataLen)
{
    for (DWORD dwCopied = 0; dwCopied < dwDataLen;) {
        DWORD dwLeft = dwDataLen - dwCopied;
        DWORD dwChunk = dwLeft < (DWORD)PKG_CHUNK ? dwLeft : (DWORD)PKG_CHUNK;
        if (!ReadAndUnmix(pRun->hSrc, pRun->buf, dwChunk))
            return Fail(pRun, PKG_ERR_READ_DATA);
        DWORD dwWritten = 0;
        if (!WriteFile(pRun->hDst, pRun->buf, dwChunk, &dwWritten, NULL) || dwWritten != dwChunk) {
            utl_ModuleLogF(&pRun->log, "WriteFile failed with err. %d", (int)GetLastError());
            return Fail(pRun, PKG_ERR_WRITE);
        }
        dwCopied += dwChunk;
    }
    if (!SetEndOfFile(pRun->hDst))
        return Fail(pRun, PKG_ERR_WRITE);
    return 1;
}

// A listing walks past the data; the record is already known to lie inside
// the package.
RecordResult SkipData(Unpack* pRun, const char* pszName, DWORD dwDataLen)
{
    if (pRun->pVariant->bEndRecord && strcmp(pszName, g_szPkgEndName) == 0)
        return RECORD_END;
    LONG lHigh = 0;
    SetFilePointer(pRun->hSrc, (LONG)dwDataLen, &lHigh, FILE_CURRENT);
    return RECORD_DONE;
}

RecordResult ExtractRecord(Unpack* pRun, const char* pszDstPath)
{
    DWORD dwNameLen = 0, dwDataLen = 0;
    if (!ReadLengths(pRun, strlen(pszDstPath), &dwNameLen, &dwDataLen))
        return RECORD_FAILED;
    if (!ReadAndUnmix(pRun->hSrc, pRun->buf, dwNameLen)) {
        Fail(pRun, PKG_ERR_READ_NAME);
        return RECORD_FAILED;
    }
    pRun->buf[dwNameLen] = '\0';
    const char* pszName = (const char*)pRun->buf;
    if (!pkg_IsSafeRecordName(pszName)) {
        char szShown[PKG_MAX_NAME + 1]; // control bytes must not forge log lines
        for (DWORD i = 0; i <= dwNameLen; ++i)
            szShown[i] = (pszName[i] > 0 && pszName[i] < 0x20) ? '?' : pszName[i];
        utl_ModuleLogF(&pRun->log, "record name refused: %s", szShown);
        Fail(pRun, PKG_ERR_OPEN_DEST);
        return RECORD_FAILED;
    }
    if (pRun->pVariant->pfnRecord != NULL)
        pRun->pVariant->pfnRecord(pRun->pVariant->pContext, pszName, dwDataLen);
    if (!pRun->pVariant->bExtract)
        return SkipData(pRun, pszName, dwDataLen);

    char szDstAbsFile[UTL_PATH_BUF];
    utl_JoinPath(szDstAbsFile, sizeof szDstAbsFile, pszDstPath, pszName);
    pRun->hDst = utl_NewOrOpenFileForWrite(szDstAbsFile);
    utl_ModuleLogF(&pRun->log, "szDstAbsFile = %s", szDstAbsFile);
    if (pRun->pVariant->bEndRecord && strcmp(pszName, g_szPkgEndName) == 0) {
        utl_ModuleLogF(&pRun->log, "The file is end.");
        utl_CloseHandle(&pRun->hDst);
        return RECORD_END;
    }
    if (pRun->hDst == INVALID_HANDLE_VALUE) {
        Fail(pRun, PKG_ERR_OPEN_DEST);
        return RECORD_FAILED;
    }
    int bCopied = CopyData(pRun, dwDataLen);
    utl_CloseHandle(&pRun->hDst);
    return bCopied ? RECORD_DONE : RECORD_FAILED;
}

} // namespace

int pkg_Unpack(HANDLE hHeldSrc, const char* pszSrcPath, const char* pszSrcFile,
               const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, const UnpackVariant* pVariant)
{
    Unpack run;
    run.pVariant = pVariant;
    run.log = {"UtlFile", "utl_FileUnpack: ", pVariant->bLog};
    run.pdwErr = pdwErr;
    run.hSrc = hHeldSrc;
    run.bOwnSrc = hHeldSrc == INVALID_HANDLE_VALUE;
    run.hDst = INVALID_HANDLE_VALUE;
    run.ullPackageLen = 0;
    run.ullTotal = 0;

    int bResult = OpenPackage(&run, pszSrcPath, pszSrcFile, pszDstPath, dwOffset);
    for (int nRecord = 1; bResult && run.ullTotal < run.ullPackageLen; ++nRecord) {
        utl_ModuleLogF(&run.log, "unpack time = %d", nRecord);
        RecordResult eResult = ExtractRecord(&run, pszDstPath);
        bResult = eResult != RECORD_FAILED;
        if (eResult == RECORD_END)
            break;
    }
    utl_CloseHandle(&run.hDst);
    if (run.bOwnSrc)
        utl_CloseHandle(&run.hSrc);
    return bResult;
}

int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* pdwErr, DWORD dwOffset)
{
    static const UnpackVariant kSetup = {1, 1, 1, NULL, NULL};
    return pkg_Unpack(INVALID_HANDLE_VALUE, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset,
                      &kSetup);
}

int utl_FileUnpackLite(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                       DWORD* pdwErr, DWORD dwOffset)
{
    static const UnpackVariant kLite = {0, 0, 1, NULL, NULL};
    return pkg_Unpack(INVALID_HANDLE_VALUE, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset,
                      &kLite);
}

int utl_FileUnpackHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                       const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset)
{
    static const UnpackVariant kSetup = {1, 1, 1, NULL, NULL};
    return pkg_Unpack(hSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kSetup);
}

int utl_FileUnpackLiteHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset)
{
    static const UnpackVariant kLite = {0, 0, 1, NULL, NULL};
    return pkg_Unpack(hSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kLite);
}
