// XXH3-64, the 64-bit digest of xxHash's third generation, with its default
// secret and seed 0, in streaming form: the seal's digest of a setup's
// package. It finds damage (a flipped bit, a download cut short or
// patched), not forgery; the Authenticode signature is what a setup is
// trusted by. Portable: no Windows headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct Xxh3 {
    uint64_t acc[8];    // the eight lanes' accumulators
    uint64_t cbTotal;   // bytes added so far
    uint32_t nStripes;  // stripes of the current block already accumulated
    uint32_t cbBuf;     // bytes in abBuf
    int bVector;        // stripes go through SSE2: set at the start where the
                        // processor has it (the tests clear it to compare)
    uint8_t abLast[64]; // the last stripe accumulated, which the digest's last
                        // 64 bytes may reach back into
    // Bytes not yet accumulated: all of an input of up to 256 bytes (one of
    // up to 240 is digested whole, by its own rules), else 1 to 256 of them,
    // since a stripe is accumulated only once a byte follows it.
    uint8_t abBuf[256];
};

void xxh3_Start(Xxh3* pState);
void xxh3_Add(Xxh3* pState, const void* pData, size_t cb);
// The digest of what was added; the state may take more bytes afterwards.
uint64_t xxh3_Digest(const Xxh3* pState);
// One buffer at once.
uint64_t xxh3_Of(const void* pData, size_t cb);
