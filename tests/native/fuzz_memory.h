// What the fuzzers share: their input as a stream (the reads of the package
// walk's and the log reader's edges, over the bytes libFuzzer gives), and
// the check of the committed seeds.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// In the seeds' own run (fuzz_<name>_seeds, with KELVO_FUZZ_SEEDS set), an
// input that does not get past the target's header (its selector byte and
// what the code it is named for reads first) stops the run: a seed that
// stops there reaches nothing it is named for.
inline void SeedGotPastHeader(bool bPast)
{
    static const bool s_bChecking = getenv("KELVO_FUZZ_SEEDS") != NULL;
    if (s_bChecking && !bPast) {
        fputs("this seed does not get past the header\n", stderr);
        abort();
    }
}

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
