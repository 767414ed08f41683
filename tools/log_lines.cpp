// Lines of the launchers' logs: read from a stream through one buffer,
// without copying a line that lies inside it, and taken apart into time,
// thread and text. Whatever a file holds, a line costs at most
// LOG_LINE_KEEP bytes.
#include "log_lines.h"

#include <stdio.h>
#include <string.h>

namespace
{

// n decimal digits at p, within [nMin, nMax].
int Digits(const char* p, int n, unsigned nMin, unsigned nMax, unsigned* pu)
{
    unsigned u = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return 0;
        u = u * 10 + (unsigned)(p[i] - '0');
    }
    *pu = u;
    return u >= nMin && u <= nMax;
}

// "[yyyy-mm-dd hh:mm:ss] " at the start of the line: 22 bytes.
const size_t kTimeLen = 22;

int ParseTime(const char* p, size_t cb, uint64_t* pullTime)
{
    unsigned y, mo, d, h, mi, s;
    if (cb < kTimeLen || p[0] != '[' || p[5] != '-' || p[8] != '-' || p[11] != ' ' ||
        p[14] != ':' || p[17] != ':' || p[20] != ']' || p[21] != ' ')
        return 0;
    if (!Digits(p + 1, 4, 1601, 9999, &y) || !Digits(p + 6, 2, 1, 12, &mo) ||
        !Digits(p + 9, 2, 1, 31, &d) || !Digits(p + 12, 2, 0, 23, &h) ||
        !Digits(p + 15, 2, 0, 59, &mi) || !Digits(p + 18, 2, 0, 60, &s))
        return 0;
    *pullTime = ((((y * 100ull + mo) * 100 + d) * 100 + h) * 100 + mi) * 100 + s;
    return 1;
}

// "[tid] " or, in a module log, "[0xtid] ": the writer's "%x", 1 to 8 digits.
size_t ParseThread(const char* p, size_t cb, int bModule, uint32_t* pdwThread)
{
    size_t i = 0;
    if (i >= cb || p[i++] != '[')
        return 0;
    if (bModule) {
        if (cb - i < 2 || p[i] != '0' || p[i + 1] != 'x')
            return 0;
        i += 2;
    }
    uint32_t dw = 0;
    size_t iDigits = i;
    for (; i < cb && i - iDigits < 9; ++i) {
        char c = p[i];
        unsigned v = c >= '0' && c <= '9'   ? (unsigned)(c - '0')
                     : c >= 'a' && c <= 'f' ? (unsigned)(c - 'a' + 10)
                                            : 16;
        if (v == 16)
            break;
        dw = dw << 4 | v;
    }
    if (i == iDigits || i - iDigits > 8 || cb - i < 2 || p[i] != ']' || p[i + 1] != ' ')
        return 0;
    *pdwThread = dw;
    return i + 2;
}

// A line's two prefixes at p: the time and the thread, with "[DTL] "
// between them in a module log.
int StartsLine(const char* p, size_t cb, int bModule)
{
    uint64_t ullTime;
    uint32_t dwThread;
    if (!ParseTime(p, cb, &ullTime))
        return 0;
    size_t i = kTimeLen;
    if (bModule && cb - i >= 6 && memcmp(p + i, "[DTL] ", 6) == 0)
        i += 6;
    return ParseThread(p + i, cb - i, bModule, &dwThread) != 0;
}

// The time prefix, read again only when it is not the last line's.
int CachedTime(const char* p, size_t cb, LogTimeCache* pCache, uint64_t* pullTime)
{
    if (pCache != NULL && pCache->bValid && cb >= kTimeLen &&
        memcmp(p, pCache->abPrefix, kTimeLen) == 0) {
        *pullTime = pCache->ullTime;
        return 1;
    }
    if (!ParseTime(p, cb, pullTime))
        return 0;
    if (pCache != NULL) {
        memcpy(pCache->abPrefix, p, kTimeLen);
        pCache->ullTime = *pullTime;
        pCache->bValid = 1;
    }
    return 1;
}

} // namespace

int log_ParseLine(char* pLine, size_t cbKept, uint64_t cbWhole, int bModule, LogTimeCache* pCache,
                  LogLine* pOut)
{
    memset(pOut, 0, sizeof *pOut);
    int bCut = cbWhole > cbKept;
    if (!bCut && cbKept > 0 && pLine[cbKept - 1] == '\r')
        --cbKept;
    // The writer writes C strings: a NUL is not in any line of a log.
    if (memchr(pLine, '\0', cbKept) != NULL || !CachedTime(pLine, cbKept, pCache, &pOut->ullTime))
        return 0;
    size_t i = kTimeLen;
    if (bModule && cbKept - i >= 6 && memcmp(pLine + i, "[DTL] ", 6) == 0) {
        pOut->bDetail = 1;
        i += 6;
    }
    size_t cchThread = ParseThread(pLine + i, cbKept - i, bModule, &pOut->dwThread);
    if (cchThread == 0)
        return 0;
    i += cchThread;
    size_t cchText = cbKept - i;
    if (cchText > LOG_TEXT_MAX) {
        cchText = LOG_TEXT_MAX;
        bCut = 1;
    }
    pLine[i + cchText] = '\0';
    pOut->pszText = pLine + i;
    pOut->cchText = cchText;
    pOut->bCut = bCut;
    return 1;
}

size_t log_FindLaterLine(const char* pLine, size_t cbKept)
{
    for (size_t i = 1; i + kTimeLen < cbKept; ++i) {
        const char* p = (const char*)memchr(pLine + i, '[', cbKept - kTimeLen - i);
        if (p == NULL)
            return 0;
        i = (size_t)(p - pLine);
        if (StartsLine(p, cbKept - i, 0) || StartsLine(p, cbKept - i, 1))
            return i;
    }
    return 0;
}

void log_FormatTime(uint64_t ullTime, char szOut[20])
{
    unsigned s = (unsigned)(ullTime % 100), mi = (unsigned)(ullTime / 100 % 100),
             h = (unsigned)(ullTime / 10000 % 100), d = (unsigned)(ullTime / 1000000 % 100),
             mo = (unsigned)(ullTime / 100000000 % 100),
             y = (unsigned)(ullTime / 10000000000ull % 10000);
    snprintf(szOut, 20, "%04u-%02u-%02u %02u:%02u:%02u", y, mo, d, h, mi, s);
}

void log_InitReader(LogReader* pReader, LogReadFn pfnRead, void* pCtx, char* pBuf, uint32_t cbBuf)
{
    memset(pReader, 0, sizeof *pReader);
    pReader->pfnRead = pfnRead;
    pReader->pCtx = pCtx;
    pReader->pBuf = pBuf;
    pReader->cbBuf = cbBuf;
}

// Refills the buffer once it is used up: 0 after a read failure.
static int Refill(LogReader* pReader)
{
    uint32_t cbRead = 0;
    uint32_t dwErr = pReader->pfnRead(pReader->pCtx, pReader->pBuf, pReader->cbBuf, &cbRead);
    if (dwErr != 0) {
        pReader->dwErr = dwErr;
        return 0;
    }
    pReader->iPos = 0;
    pReader->iEnd = cbRead;
    pReader->ullBytes += cbRead;
    pReader->bEnd = cbRead == 0;
    return 1;
}

LogReadResult log_ReadLine(LogReader* pReader, char** ppLine, size_t* pcbKept, uint64_t* pcbWhole)
{
    size_t cbKept = 0;
    uint64_t cbWhole = 0;
    int bSpanned = 0; // the line began in an earlier buffer: it is gathered in abLine
    for (;;) {
        if (pReader->iPos == pReader->iEnd) {
            if (pReader->bEnd) {
                if (bSpanned) {
                    pReader->bCutEnd = 1;
                    pReader->cbCut = cbKept;
                    pReader->cbCutWhole = cbWhole;
                }
                return LOG_READ_END;
            }
            if (!Refill(pReader))
                return LOG_READ_FAILED;
            continue;
        }
        char* pStart = pReader->pBuf + pReader->iPos;
        uint32_t cbAvail = pReader->iEnd - pReader->iPos;
        char* pLf = (char*)memchr(pStart, '\n', cbAvail);
        uint32_t cbPart = pLf ? (uint32_t)(pLf - pStart) : cbAvail;
        pReader->iPos += cbPart + (pLf ? 1 : 0);
        if (pLf && !bSpanned) {
            *ppLine = pStart;
            *pcbKept = cbPart < LOG_LINE_KEEP ? cbPart : LOG_LINE_KEEP;
            *pcbWhole = cbPart;
            pStart[*pcbKept] = '\0'; // the LF's place, or inside the line
            return LOG_READ_LINE;
        }
        size_t cbCopy = cbPart < LOG_LINE_KEEP - cbKept ? cbPart : LOG_LINE_KEEP - cbKept;
        memcpy(pReader->abLine + cbKept, pStart, cbCopy);
        cbKept += cbCopy;
        cbWhole += cbPart;
        bSpanned = 1;
        if (pLf) {
            pReader->abLine[cbKept] = '\0';
            *ppLine = pReader->abLine;
            *pcbKept = cbKept;
            *pcbWhole = cbWhole;
            return LOG_READ_LINE;
        }
    }
}
