// Writes a package: the header, then each record's two plain lengths, its
// scrambled name and its scrambled data, streamed through the caller's
// buffer. The log lines and error numbers are the packer's own.
#include "record_writer.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#ifdef __MINGW_PRINTF_FORMAT
#define PACK_PRINTF(a, b) __attribute__((format(__MINGW_PRINTF_FORMAT, a, b)))
#else
#define PACK_PRINTF(a, b) __attribute__((format(printf, a, b)))
#endif

namespace
{

PACK_PRINTF(2, 3) void Log(const PkgPackOut* pOut, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    pkg_LogV(pOut->pfnLog, "utl_FilePack: ", pszFormat, args);
    va_end(args);
}

uint32_t Write(PkgPackOut* pOut, const void* p, uint32_t cb)
{
    uint32_t dwErr = pOut->pfnWrite(pOut->pCtx, p, cb);
    if (dwErr == 0)
        pOut->ullPos += cb;
    return dwErr;
}

// The buffer is scrambled in place.
uint32_t MixAndWrite(PkgPackOut* pOut, uint8_t* pBuf, uint32_t cb)
{
    MixBuffer(pBuf, cb);
    return Write(pOut, pBuf, cb);
}

// A failed system call: its code is stored and logged, then replaced by the
// packer's own number when there is one.
int FailWithSystemError(const PkgPackOut* pOut, uint32_t* pdwErr, uint32_t dwSysErr,
                        const char* pszWhat, uint32_t dwPackErr)
{
    *pdwErr = dwSysErr;
    Log(pOut, "%s%d", pszWhat, (int)dwSysErr);
    if (dwPackErr != 0)
        *pdwErr = dwPackErr;
    return 0;
}

int WriteLength(PkgPackOut* pOut, uint32_t dw, const char* pszWhat, uint32_t* pdwErr)
{
    uint8_t ab[4] = {(uint8_t)dw, (uint8_t)(dw >> 8), (uint8_t)(dw >> 16), (uint8_t)(dw >> 24)};
    uint32_t dwSysErr = Write(pOut, ab, sizeof ab);
    return dwSysErr == 0 || FailWithSystemError(pOut, pdwErr, dwSysErr, pszWhat, PKG_ERR_WRITE);
}

// The two lengths and the name, scrambled in the buffer so that the
// caller's name stays plain.
int WriteRecordHead(PkgPackOut* pOut, const char* pszShown, const char* pszName, uint32_t cbData,
                    uint32_t* pdwErr)
{
    uint32_t cbName = (uint32_t)strlen(pszName);
    Log(pOut, "%s dwLenSrcFile = %d sizeof(DWORD) = %d", pszShown, (int)cbName, 4);
    if (!WriteLength(pOut, cbName, "WriteFile 1 failed with err ", pdwErr))
        return 0;
    Log(pOut, "%s dwSizeLow = %d sizeof(DWORD) = %d", pszShown, (int)cbData, 4);
    if (!WriteLength(pOut, cbData, "WriteFile 2 failed with err ", pdwErr))
        return 0;
    memcpy(pOut->pBuf, pszName, cbName);
    uint32_t dwSysErr = MixAndWrite(pOut, pOut->pBuf, cbName);
    return dwSysErr == 0 || FailWithSystemError(pOut, pdwErr, dwSysErr,
                                                "MixAndWrite 1 failed with err ", PKG_ERR_WRITE);
}

// The source ended after cbRead of its cbData bytes, or (bLonger) holds more.
int SizeChanged(const PkgPackOut* pOut, const char* pszShown, uint32_t cbData, uint32_t cbRead,
                int bLonger, uint32_t* pdwErr)
{
    if (bLonger)
        Log(pOut, "%s changed while it was packed: it holds more than its %u bytes", pszShown,
            (unsigned)cbData);
    else
        Log(pOut, "%s changed while it was packed: it ended after %u of its %u bytes", pszShown,
            (unsigned)cbRead, (unsigned)cbData);
    *pdwErr = PKG_ERR_SIZE;
    return 0;
}

// Exactly cbData bytes, then one more read that must find the end: a record
// whose data and length field disagree would misread every record after it.
int CopySource(PkgPackOut* pOut, const char* pszShown, uint32_t cbData, void* pSrcCtx,
               PkgReadFn pfnRead, uint32_t* pdwErr)
{
    uint32_t cbAlign = PKG_CHUNK - (uint32_t)(pOut->ullPos % PKG_CHUNK);
    uint32_t cbChunk = pOut->cbBuf - PKG_CHUNK + cbAlign;
    for (uint32_t cbDone = 0;; cbChunk = pOut->cbBuf) {
        uint32_t cbLeft = cbData - cbDone;
        uint32_t cbWant = cbLeft == 0 ? 1 : (cbLeft < cbChunk ? cbLeft : cbChunk);
        uint32_t cbRead = 0;
        uint32_t dwSysErr = pfnRead(pSrcCtx, pOut->pBuf, cbWant, &cbRead);
        if (dwSysErr != 0)
            return FailWithSystemError(pOut, pdwErr, dwSysErr, "ReadFile failed with err ", 0);
        if (cbLeft == 0)
            return cbRead == 0 || SizeChanged(pOut, pszShown, cbData, cbDone, 1, pdwErr);
        if (cbRead == 0)
            return SizeChanged(pOut, pszShown, cbData, cbDone, 0, pdwErr);
        dwSysErr = MixAndWrite(pOut, pOut->pBuf, cbRead);
        if (dwSysErr != 0)
            return FailWithSystemError(pOut, pdwErr, dwSysErr, "MixAndWrite 2 failed with err ",
                                       PKG_ERR_WRITE);
        cbDone += cbRead;
    }
}

} // namespace

uint32_t pkg_WriteHeader(PkgPackOut* pOut)
{
    memcpy(pOut->pBuf, g_szPkgMarker, PKG_MARKER_LEN);
    return MixAndWrite(pOut, pOut->pBuf, PKG_MARKER_LEN) == 0 ? 0 : PKG_ERR_WRITE;
}

int pkg_WriteRecord(PkgPackOut* pOut, const char* pszShown, const char* pszName, uint32_t cbData,
                    void* pSrcCtx, PkgReadFn pfnRead, uint32_t* pdwErr)
{
    return WriteRecordHead(pOut, pszShown, pszName, cbData, pdwErr) &&
           CopySource(pOut, pszShown, cbData, pSrcCtx, pfnRead, pdwErr);
}

int pkg_WriteEndRecord(PkgPackOut* pOut, uint32_t* pdwErr)
{
    return WriteRecordHead(pOut, g_szPkgEndName, g_szPkgEndName, 0, pdwErr);
}
