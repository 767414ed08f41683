// XXH32, the 32-bit xxHash digest, in streaming form: the seal's digest of a
// setup's package. It finds damage (a flipped bit, a download cut short or
// patched), not forgery; the Authenticode signature is what a setup is
// trusted by. Portable: no Windows headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct Xxh32 {
    uint32_t v[4];      // the four lanes' accumulators
    uint64_t cbTotal;   // bytes added so far
    uint8_t abTail[16]; // the start of a stripe not yet whole
    uint32_t cbTail;
};

void xxh32_Start(Xxh32* pState, uint32_t dwSeed);
void xxh32_Add(Xxh32* pState, const void* pData, size_t cb);
// The digest of what was added; the state may take more bytes afterwards.
uint32_t xxh32_Digest(const Xxh32* pState);
// One buffer at once.
uint32_t xxh32_Of(const void* pData, size_t cb, uint32_t dwSeed);
