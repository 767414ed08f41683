// The fuzzers' input as a stream: the reads of the package walk's and the
// log reader's edges, over the bytes libFuzzer gives.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

struct Memory {
    const uint8_t* p;
    size_t cb;
    size_t pos;
};

inline uint32_t MemoryRead(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    Memory* pMem = (Memory*)pCtx;
    size_t cbLeft = pMem->cb - pMem->pos;
    *pcbRead = cb < cbLeft ? cb : (uint32_t)cbLeft;
    memcpy(pBuf, pMem->p + pMem->pos, *pcbRead);
    pMem->pos += *pcbRead;
    return 0;
}
