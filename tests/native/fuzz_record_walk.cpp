// libFuzzer target: the record walk over any bytes as the package file,
// through an edge of memory, with each variant (setup, lite, the tools'
// listing), each code page, and a package at 0 or behind a 512-byte image
// (whose header may point to a certificate table) chosen by the first byte
// (so a seed starts with it: 0x00 the setup unpacker, code page 0, at 0).
// Every result is a success or a documented number, every record the walk
// reports lies inside the package and carries a name the rules take, and no
// file is written but under such a name.
#include "fuzz_memory.h"
#include "record_walk.h"

#include <stdlib.h>
#include <string.h>

namespace
{

int Exists(void*, const char*)
{
    return 1;
}

int Size(void* pCtx, const char*, uint64_t* pcb)
{
    *pcb = ((Memory*)pCtx)->cb;
    return 1;
}

int Open(void*, const char*)
{
    return 1;
}

void Seek(void* pCtx, uint64_t cbFromStart)
{
    Memory* pMem = (Memory*)pCtx;
    pMem->pos = cbFromStart < pMem->cb ? (size_t)cbFromStart : pMem->cb;
}

struct Sink {
    const PkgCodePage* pCodePage;
    int bOpen;
};

int OpenDir(void*, const char*)
{
    return 1;
}

int OpenFile(void* pCtx, const char*, const char* pszName)
{
    Sink* pSink = (Sink*)pCtx;
    if (pSink->bOpen || !pkg_IsSafeName(pszName, pSink->pCodePage))
        abort();
    pSink->bOpen = 1;
    return 1;
}

uint32_t Write(void* pCtx, const void*, uint32_t)
{
    return ((Sink*)pCtx)->bOpen ? 0 : (abort(), 0);
}

int End(void*)
{
    return 1;
}

void Close(void* pCtx)
{
    ((Sink*)pCtx)->bOpen = 0;
}

struct Seen {
    size_t cbPackage;
    const PkgCodePage* pCodePage;
};

void CheckRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    const Seen* pSeen = (const Seen*)pContext;
    if (pRecord->ullEnd > pSeen->cbPackage || pRecord->cbNameField > PKG_MAX_NAME ||
        strlen(pRecord->pszName) > pRecord->cbNameField ||
        !pkg_IsSafeName(pRecord->pszName, pSeen->pCodePage))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    if (cb == 0)
        return 0;
    static const uint32_t kCodePages[] = {0, 1252, 936};
    const PkgCodePage* pCodePage = pkg_CodePage(kCodePages[pData[0] % 3]);
    int nVariant = (pData[0] >> 2) % 3;
    uint32_t dwOffset = (pData[0] & 0x80) ? 512 : 0;
    Memory mem = {pData + 1, cb - 1, 0};
    Sink sink = {pCodePage, 0};
    Seen seen = {cb - 1 > dwOffset ? cb - 1 - dwOffset : 0, pCodePage};
    static uint8_t s_abBuf[PKG_CHUNK];
    const PkgEdge edge = {
        {&mem, Exists, Size, Open, Seek, MemoryRead},
        {&sink, OpenDir, OpenFile, Write, End, Close},
        NULL,
        260,
        '\\',
        pCodePage,
        s_abBuf,
        sizeof s_abBuf,
    };
    const UnpackVariant variant = {nVariant == 0, nVariant != 1, nVariant != 2,
                                   CheckRecord,   &seen,         0};
    uint32_t dwErr = 0;
    int bWalked =
        pkg_Walk("C:\\src", "pkg.bin", "C:\\dst", &dwErr, dwOffset, &edge, &variant, NULL);
    if (!bWalked && (dwErr < 155 || dwErr > 166))
        abort();
    SeedGotPastHeader(bWalked || dwErr > PKG_ERR_BAD_HEADER);
    return 0;
}
