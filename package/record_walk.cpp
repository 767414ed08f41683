// The record walk: checks the arguments and the source, reads the header,
// then each record's lengths, name and data in turn, in the order and with
// the error numbers and log lines the setup unpacker has always had. The
// setup and lite unpackers, and the tools' listing and check, differ only in
// their variant; the edge does every read and write.
#include "record_walk.h"
#include "pe_image.h"
#include "xxh3.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#ifdef __MINGW_PRINTF_FORMAT
#define WALK_PRINTF(a, b) __attribute__((format(__MINGW_PRINTF_FORMAT, a, b)))
#else
#define WALK_PRINTF(a, b) __attribute__((format(printf, a, b)))
#endif

namespace
{

struct Walk {
    const PkgEdge* pEdge;
    const UnpackVariant* pVariant;
    uint32_t* pdwErr;
    uint32_t dwOffset;
    uint64_t ullPackageLen;
    uint64_t ullTotal; // bytes of the package accounted for; 64 bits never wrap
    int bSigned;       // the package ends where a certificate table begins
    PkgWatch* pWatch;  // NULL: no seal, no hook
    uint64_t ullPos;   // where the next read starts, from the package's start
    int bSealed;       // the seal's length fits: the bytes read are digested
    uint64_t ullDigested;
    Xxh3 digest;
};

enum RecordResult { RECORD_FAILED, RECORD_DONE, RECORD_END };

// A line of the setup unpacker's log, cut at 1023 bytes.
WALK_PRINTF(2, 3) void Log(const Walk* pRun, const char* pszFormat, ...)
{
    if (!pRun->pVariant->bLog)
        return;
    va_list args;
    va_start(args, pszFormat);
    pkg_LogV(pRun->pEdge->pfnLog, "utl_FileUnpack: ", pszFormat, args);
    va_end(args);
}

int Fail(Walk* pRun, uint32_t dwErr)
{
    if (pRun->pVariant->bLog && pRun->pEdge->pfnLog != NULL) {
        char szLine[48];
        snprintf(szLine, sizeof szLine, "utl_FileUnpack:Err: %u.", (unsigned)dwErr);
        pRun->pEdge->pfnLog(szLine);
    }
    *pRun->pdwErr = dwErr;
    return 0;
}

// Every read of the package's bytes: those of the sealed length not yet
// digested go into the digest as they pass, so a package is read once.
uint32_t ReadSource(Walk* pRun, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    const PkgSource* pSrc = &pRun->pEdge->src;
    *pcbRead = 0;
    uint32_t dwErr = pSrc->pfnRead(pSrc->pCtx, pBuf, cb, pcbRead);
    uint64_t ullEnd = pRun->ullPos + *pcbRead;
    uint64_t ullSealEnd = pRun->bSealed ? pRun->pWatch->seal.sealed.cbPackage : 0;
    if (ullEnd > ullSealEnd)
        ullEnd = ullSealEnd;
    if (pRun->ullPos <= pRun->ullDigested && ullEnd > pRun->ullDigested) {
        xxh3_Add(&pRun->digest, (const uint8_t*)pBuf + (pRun->ullDigested - pRun->ullPos),
                 (size_t)(ullEnd - pRun->ullDigested));
        pRun->ullDigested = ullEnd;
    }
    pRun->ullPos += *pcbRead;
    return dwErr;
}

void SeekPackage(Walk* pRun, uint64_t ullPos)
{
    const PkgSource* pSrc = &pRun->pEdge->src;
    pSrc->pfnSeek(pSrc->pCtx, pRun->dwOffset + ullPos);
    pRun->ullPos = ullPos;
}

// Exactly cb bytes, or a failure: the read call's or a short one.
int ReadExact(Walk* pRun, void* pBuf, uint32_t cb)
{
    uint32_t cbRead = 0;
    return ReadSource(pRun, pBuf, cb, &cbRead) == 0 && cbRead == cb;
}

// Between chunks: 0 when the watcher stops the walk.
int GoOn(Walk* pRun)
{
    PkgWatch* pWatch = pRun->pWatch;
    if (pWatch == NULL || pWatch->pfnChunk == NULL)
        return 1;
    uint64_t ullTotal = pRun->bSealed ? pWatch->seal.sealed.cbPackage : pRun->ullPackageLen;
    if (pWatch->pfnChunk(pWatch->pCtx, pRun->ullPos, ullTotal))
        return 1;
    pWatch->bStopped = 1;
    return 0;
}

int ReadAndUnmix(Walk* pRun, uint8_t* pBuf, uint32_t cb)
{
    if (!ReadExact(pRun, pBuf, cb))
        return 0;
    MixBuffer(pBuf, cb);
    return 1;
}

// A signed setup carries its Authenticode signature in a certificate table
// appended behind the package, which the image's header points to; read as
// records, it would fail the walk. The package then ends where the table
// begins. Only a table wholly inside the file and behind the package's
// header counts; the headers are read from the image's first 4096 bytes, as
// every edge's buffer holds them, so that every unpacker reads the same.
void EndAtCertificateTable(Walk* pRun, uint32_t cbFile)
{
    const PkgEdge* pEdge = pRun->pEdge;
    const PkgSource* pSrc = &pEdge->src;
    uint32_t cbHeaders = pRun->dwOffset < PKG_CHUNK ? pRun->dwOffset : (uint32_t)PKG_CHUNK;
    uint32_t cbRead = 0, dwTable = 0, cbTable = 0;
    pSrc->pfnSeek(pSrc->pCtx, 0);
    if (pSrc->pfnRead(pSrc->pCtx, pEdge->pBuf, cbHeaders, &cbRead) != 0 ||
        !pe_FindCertificateTable(pEdge->pBuf, cbRead, &dwTable, &cbTable) ||
        dwTable < (uint64_t)pRun->dwOffset + PKG_MARKER_LEN || (uint64_t)dwTable + cbTable > cbFile)
        return;
    pRun->ullPackageLen = dwTable - pRun->dwOffset;
    pRun->bSigned = 1;
    Log(pRun, "dwCertOffset = %d dwSizeLow = dwCertOffset - dwOffset= %d", (int)dwTable,
        (int)pRun->ullPackageLen);
}

// The seal block in the fill before a setup's package. A length that does
// not fit the package (cut short, or more behind it than a signer's
// padding) is told at once, before anything is extracted.
void ReadSealBlock(Walk* pRun)
{
    PkgSealCheck* pCheck = &pRun->pWatch->seal;
    const PkgSource* pSrc = &pRun->pEdge->src;
    uint8_t abBlock[PKG_SEAL_SIZE];
    uint32_t cbRead = 0;
    pCheck->cbPackage = pRun->ullPackageLen;
    pSrc->pfnSeek(pSrc->pCtx, PKG_SEAL_AT);
    if (pSrc->pfnRead(pSrc->pCtx, abBlock, sizeof abBlock, &cbRead) != 0 ||
        cbRead != sizeof abBlock) {
        pCheck->eState = PKG_SEAL_UNREADABLE;
        return;
    }
    switch (pkg_ReadSeal(abBlock, &pCheck->sealed)) {
    case PKG_SEAL_BLOCK_ZERO:
        pCheck->eState = PKG_SEAL_NONE;
        return;
    case PKG_SEAL_BLOCK_UNREADABLE:
        pCheck->eState = PKG_SEAL_UNREADABLE;
        return;
    default:
        break;
    }
    uint64_t cbSealed = pCheck->sealed.cbPackage;
    if (cbSealed > pRun->ullPackageLen ||
        pRun->ullPackageLen - cbSealed >= (pRun->bSigned ? 8u : 1u)) {
        pCheck->eState = PKG_SEAL_WRONG_LENGTH;
        return;
    }
    pCheck->eState = PKG_SEAL_UNFINISHED;
    pRun->bSealed = 1;
    xxh3_Start(&pRun->digest);
}

// Checks the arguments, the source and the destination, opens the source
// and reads the header.
int OpenPackage(Walk* pRun, const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath)
{
    const PkgEdge* pEdge = pRun->pEdge;
    if (pszSrcPath == NULL || pszSrcFile == NULL || pszDstPath == NULL)
        return Fail(pRun, PKG_ERR_NULL_ARG);
    Log(pRun, "pszSrcPath = %s pszSrcFile = %s pszDstPath = %s", pszSrcPath, pszSrcFile,
        pszDstPath);
    if (strlen(pszSrcPath) + strlen(pszSrcFile) >= pEdge->cchPathMax ||
        strlen(pszDstPath) >= pEdge->cchPathMax)
        return Fail(pRun, PKG_ERR_PATH_TOO_LONG);

    char szSrcAbsFile[PKG_PATH_MAX + 1];
    snprintf(szSrcAbsFile, sizeof szSrcAbsFile, "%s%c%s", pszSrcPath, pEdge->chSeparator,
             pszSrcFile);
    const PkgSource* pSrc = &pEdge->src;
    int bSrcExists = pSrc->pfnExists(pSrc->pCtx, szSrcAbsFile);
    Log(pRun, "szSrcAbsFile = %s", szSrcAbsFile);
    if (!bSrcExists)
        return Fail(pRun, PKG_ERR_NO_SOURCE);
    if (!pEdge->dst.pfnOpenDir(pEdge->dst.pCtx, pszDstPath))
        return Fail(pRun, PKG_ERR_NO_DEST_DIR);

    uint64_t ullSize = 0;
    int bSized = pSrc->pfnSize(pSrc->pCtx, szSrcAbsFile, &ullSize);
    Log(pRun, "dwSizeHigh = %d dwSizeLow = %d", (int)(uint32_t)(ullSize >> 32),
        (int)(uint32_t)ullSize);
    if (!bSized || (ullSize >> 32) != 0 || pRun->dwOffset >= (uint32_t)ullSize)
        return Fail(pRun, PKG_ERR_SIZE);
    pRun->ullPackageLen = (uint32_t)ullSize - pRun->dwOffset;
    Log(pRun, "dwSizeLow = dwSizeLow - dwOffset= %d", (int)pRun->ullPackageLen);

    if (!pSrc->pfnOpen(pSrc->pCtx, szSrcAbsFile))
        return Fail(pRun, PKG_ERR_OPEN);
    if (pRun->dwOffset > 0)
        EndAtCertificateTable(pRun, (uint32_t)ullSize);
    if (pRun->pWatch != NULL && pRun->dwOffset == PKG_OFFSET) {
        ReadSealBlock(pRun);
        if (pRun->pWatch->bRefuseDamaged && pkg_SealSaysDamaged(&pRun->pWatch->seal))
            return Fail(pRun, PKG_ERR_DAMAGED);
    }
    SeekPackage(pRun, 0);

    uint8_t abMarker[PKG_MARKER_LEN];
    if (!ReadExact(pRun, abMarker, sizeof abMarker))
        return Fail(pRun, PKG_ERR_READ_HEADER);
    if (pkg_CheckMarker(abMarker) != 0)
        return Fail(pRun, PKG_ERR_BAD_HEADER);
    pRun->ullTotal = PKG_MARKER_LEN;
    Log(pRun, "dwCurTotalLen = %d", PKG_MARKER_LEN);
    return 1;
}

uint32_t Le32(const uint8_t ab[4])
{
    return (uint32_t)ab[0] | (uint32_t)ab[1] << 8 | (uint32_t)ab[2] << 16 | (uint32_t)ab[3] << 24;
}

// Reads a record's two lengths and checks that the record fits.
int ReadLengths(Walk* pRun, size_t cchDstPath, uint32_t* pdwNameLen, uint32_t* pdwDataLen)
{
    uint8_t ab[4] = {}; // a short read shows what it got, the rest zero
    uint32_t cbRead = 0;
    uint32_t dwSysErr = ReadSource(pRun, ab, sizeof ab, &cbRead);
    if (dwSysErr != 0) {
        Log(pRun, "ReadFile failed with err. %d", (int)dwSysErr);
        return Fail(pRun, PKG_ERR_NAME_LENGTH);
    }
    *pdwNameLen = Le32(ab);
    Log(pRun, "dwBufDataLen = %d dwCurFileNameLen = %d sizeof(DWORD) = %d", (int)cbRead,
        (int)*pdwNameLen, 4);
    if (cbRead != sizeof ab || *pdwNameLen > PKG_MAX_NAME ||
        *pdwNameLen + cchDstPath >= pRun->pEdge->cchPathMax)
        return Fail(pRun, PKG_ERR_NAME_LENGTH);

    if (!ReadExact(pRun, ab, sizeof ab))
        return Fail(pRun, PKG_ERR_DATA_LENGTH);
    *pdwDataLen = Le32(ab);

    pRun->ullTotal += (uint64_t)PKG_RECORD_HEAD + *pdwNameLen + *pdwDataLen;
    Log(pRun, "dwCurTotalLen = %lld", (long long)pRun->ullTotal);
    if (pRun->ullTotal > pRun->ullPackageLen)
        return Fail(pRun, PKG_ERR_RECORD_OVERRUN);
    return 1;
}

// Copies a record's data and cuts an older, longer file to the record's size,
// so that every extracted file equals its record.
int CopyData(Walk* pRun, uint32_t dwDataLen)
{
    const PkgEdge* pEdge = pRun->pEdge;
    for (uint32_t dwCopied = 0; dwCopied < dwDataLen;) {
        uint32_t dwLeft = dwDataLen - dwCopied;
        uint32_t dwChunk = dwLeft < pEdge->cbBuf ? dwLeft : pEdge->cbBuf;
        if (!ReadAndUnmix(pRun, pEdge->pBuf, dwChunk))
            return Fail(pRun, PKG_ERR_READ_DATA);
        uint32_t dwSysErr = pEdge->dst.pfnWrite(pEdge->dst.pCtx, pEdge->pBuf, dwChunk);
        if (dwSysErr != 0) {
            Log(pRun, "WriteFile failed with err. %d", (int)dwSysErr);
            return Fail(pRun, PKG_ERR_WRITE);
        }
        dwCopied += dwChunk;
        if (!GoOn(pRun))
            return 0;
    }
    if (!pEdge->dst.pfnEnd(pEdge->dst.pCtx))
        return Fail(pRun, PKG_ERR_WRITE);
    return 1;
}

int IsEndRecord(const Walk* pRun, const char* pszName)
{
    return pRun->pVariant->bEndRecord && strcmp(pszName, g_szPkgEndName) == 0;
}

// Control bytes must not forge log lines.
void LogRefusedName(const Walk* pRun, const char* pszName, uint32_t dwNameLen)
{
    char szShown[PKG_MAX_NAME + 1];
    for (uint32_t i = 0; i <= dwNameLen; ++i)
        szShown[i] = (pszName[i] > 0 && pszName[i] < 0x20) ? '?' : pszName[i];
    Log(pRun, "record name refused: %s", szShown);
}

// Reads on to ullUpTo of the package, for the digest: the data a listing
// skips, and what lies behind the last record read. 0 when the package
// cannot be read that far, or the watcher stopped the walk.
int ReadThrough(Walk* pRun, uint64_t ullUpTo)
{
    const PkgEdge* pEdge = pRun->pEdge;
    if (pRun->ullPos != pRun->ullDigested)
        SeekPackage(pRun, pRun->ullDigested);
    while (pRun->ullPos < ullUpTo) {
        uint64_t cbLeft = ullUpTo - pRun->ullPos;
        uint32_t cb = cbLeft < pEdge->cbBuf ? (uint32_t)cbLeft : pEdge->cbBuf;
        uint32_t cbRead = 0;
        if (ReadSource(pRun, pEdge->pBuf, cb, &cbRead) != 0 || cbRead == 0 || !GoOn(pRun))
            return 0;
    }
    return 1;
}

// A listing walks past the data; the record is already known to lie inside
// the package. A sealed one is read through instead, for its digest.
RecordResult SkipData(Walk* pRun, const char* pszName)
{
    if (IsEndRecord(pRun, pszName))
        return RECORD_END;
    if (!pRun->bSealed) {
        SeekPackage(pRun, pRun->ullTotal);
        return RECORD_DONE;
    }
    uint64_t ullSealEnd = pRun->pWatch->seal.sealed.cbPackage;
    if (ReadThrough(pRun, pRun->ullTotal < ullSealEnd ? pRun->ullTotal : ullSealEnd))
        return RECORD_DONE;
    if (!pRun->pWatch->bStopped)
        Fail(pRun, PKG_ERR_READ_DATA);
    return RECORD_FAILED;
}

RecordResult WriteRecordFile(Walk* pRun, const char* pszDstPath, const char* pszName,
                             uint32_t dwDataLen)
{
    const PkgDest* pDst = &pRun->pEdge->dst;
    char szDstAbsFile[PKG_PATH_MAX + 1];
    snprintf(szDstAbsFile, sizeof szDstAbsFile, "%s%c%s", pszDstPath, pRun->pEdge->chSeparator,
             pszName);
    int bOpened = pDst->pfnOpen(pDst->pCtx, szDstAbsFile, pszName);
    Log(pRun, "szDstAbsFile = %s", szDstAbsFile);
    if (IsEndRecord(pRun, pszName)) {
        Log(pRun, "The file is end.");
        return RECORD_END;
    }
    if (!bOpened) {
        Fail(pRun, PKG_ERR_OPEN_DEST);
        return RECORD_FAILED;
    }
    return CopyData(pRun, dwDataLen) ? RECORD_DONE : RECORD_FAILED;
}

RecordResult ExtractRecord(Walk* pRun, const char* pszDstPath)
{
    const PkgEdge* pEdge = pRun->pEdge;
    uint32_t dwNameLen = 0, dwDataLen = 0;
    if (!ReadLengths(pRun, strlen(pszDstPath), &dwNameLen, &dwDataLen))
        return RECORD_FAILED;
    if (!ReadAndUnmix(pRun, pEdge->pBuf, dwNameLen)) {
        Fail(pRun, PKG_ERR_READ_NAME);
        return RECORD_FAILED;
    }
    pEdge->pBuf[dwNameLen] = '\0';
    char szName[PKG_MAX_NAME + 1];
    memcpy(szName, pEdge->pBuf, dwNameLen + 1);
    if (!pkg_IsSafeName(szName, pEdge->pCodePage)) {
        LogRefusedName(pRun, szName, dwNameLen);
        Fail(pRun, PKG_ERR_OPEN_DEST);
        return RECORD_FAILED;
    }
    if (pRun->pVariant->pfnRecord != NULL) {
        PkgRecordInfo info = {szName, dwNameLen, dwDataLen, pRun->ullTotal};
        pRun->pVariant->pfnRecord(pRun->pVariant->pContext, &info);
    }
    if (!pRun->pVariant->bExtract)
        return SkipData(pRun, szName);
    RecordResult eResult = WriteRecordFile(pRun, pszDstPath, szName, dwDataLen);
    pEdge->dst.pfnClose(pEdge->dst.pCtx);
    return eResult;
}

// A signer aligns the certificate table to 8 bytes with zeros behind the
// package: fewer than 8 zero bytes left before it are that padding, not a
// record. Anything else is read as a record and fails as one.
int IsSignaturePadding(Walk* pRun)
{
    uint64_t cbLeft = pRun->ullPackageLen - pRun->ullTotal;
    if (!pRun->bSigned || cbLeft >= 8)
        return 0;
    uint8_t ab[8];
    int bZero = ReadExact(pRun, ab, (uint32_t)cbLeft);
    for (uint64_t i = 0; bZero && i < cbLeft; ++i)
        bZero = ab[i] == 0;
    if (!bZero)
        SeekPackage(pRun, pRun->ullTotal);
    return bZero;
}

// The rest of the sealed length is read (after an end record, or after a
// record the walk failed at) and the digest compared. A damaged package
// that a launcher refuses fails with its own number, whatever the walk
// would have said of it.
int FinishSeal(Walk* pRun, int bResult)
{
    PkgWatch* pWatch = pRun->pWatch;
    if (!pRun->bSealed || pWatch->bStopped)
        return bResult;
    PkgSealCheck* pCheck = &pWatch->seal;
    if (!ReadThrough(pRun, pCheck->sealed.cbPackage)) {
        if (pWatch->bStopped)
            return 0;
        pCheck->eState = PKG_SEAL_WRONG_LENGTH;
    } else {
        pCheck->ullFound = xxh3_Digest(&pRun->digest);
        pCheck->eState =
            pCheck->ullFound == pCheck->sealed.ullDigest ? PKG_SEAL_MATCHES : PKG_SEAL_MISMATCH;
    }
    if (pWatch->bRefuseDamaged && pkg_SealSaysDamaged(pCheck))
        return Fail(pRun, PKG_ERR_DAMAGED);
    return bResult;
}

} // namespace

int pkg_Walk(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
             uint32_t* pdwErr, uint32_t dwOffset, const PkgEdge* pEdge,
             const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    Walk run = {pEdge, pVariant, pdwErr, dwOffset, 0, 0, 0, pWatch, 0, 0, 0, {}};
    if (pWatch != NULL) {
        memset(&pWatch->seal, 0, sizeof pWatch->seal);
        pWatch->bStopped = 0;
    }
    int bResult = OpenPackage(&run, pszSrcPath, pszSrcFile, pszDstPath);
    for (int nRecord = 1; bResult && run.ullTotal < run.ullPackageLen && !IsSignaturePadding(&run);
         ++nRecord) {
        Log(&run, "unpack time = %d", nRecord);
        RecordResult eResult = ExtractRecord(&run, pszDstPath);
        bResult = eResult != RECORD_FAILED;
        if (eResult == RECORD_END)
            break;
    }
    return FinishSeal(&run, bResult);
}
