// XXH32 as its author specifies it: four lanes take 16-byte stripes of
// little-endian words, each word multiplied, rotated and multiplied again;
// the lanes are folded together with the total length, the last words and
// bytes are mixed in one at a time, and the result is avalanched. Every
// byte of a package passes through here, so it is built for speed.
#include "xxh32.h"

#include <string.h>

namespace
{

const uint32_t kPrime1 = 0x9E3779B1u;
const uint32_t kPrime2 = 0x85EBCA77u;
const uint32_t kPrime3 = 0xC2B2AE3Du;
const uint32_t kPrime4 = 0x27D4EB2Fu;
const uint32_t kPrime5 = 0x165667B1u;

inline uint32_t RotateLeft(uint32_t v, unsigned n)
{
    return (v << n) | (v >> (32 - n));
}

inline uint32_t Le32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

inline uint32_t Round(uint32_t dwAcc, uint32_t dwInput)
{
    return RotateLeft(dwAcc + dwInput * kPrime2, 13) * kPrime1;
}

// Whole stripes from p; returns where the stripes end.
const uint8_t* AddStripes(uint32_t v[4], const uint8_t* p, size_t cbStripes)
{
    uint32_t v1 = v[0], v2 = v[1], v3 = v[2], v4 = v[3];
    for (const uint8_t* pEnd = p + cbStripes; p < pEnd; p += 16) {
        v1 = Round(v1, Le32(p));
        v2 = Round(v2, Le32(p + 4));
        v3 = Round(v3, Le32(p + 8));
        v4 = Round(v4, Le32(p + 12));
    }
    v[0] = v1, v[1] = v2, v[2] = v3, v[3] = v4;
    return p;
}

} // namespace

void xxh32_Start(Xxh32* pState, uint32_t dwSeed)
{
    memset(pState, 0, sizeof *pState);
    pState->v[0] = dwSeed + kPrime1 + kPrime2;
    pState->v[1] = dwSeed + kPrime2;
    pState->v[2] = dwSeed;
    pState->v[3] = dwSeed - kPrime1;
}

void xxh32_Add(Xxh32* pState, const void* pData, size_t cb)
{
    const uint8_t* p = (const uint8_t*)pData;
    pState->cbTotal += cb;
    if (pState->cbTail > 0) {
        size_t cbTake = 16 - pState->cbTail < cb ? 16 - pState->cbTail : cb;
        memcpy(pState->abTail + pState->cbTail, p, cbTake);
        pState->cbTail += (uint32_t)cbTake;
        p += cbTake, cb -= cbTake;
        if (pState->cbTail < 16)
            return;
        AddStripes(pState->v, pState->abTail, 16);
        pState->cbTail = 0;
    }
    p = AddStripes(pState->v, p, cb & ~(size_t)15);
    memcpy(pState->abTail, p, cb & 15);
    pState->cbTail = (uint32_t)(cb & 15);
}

uint32_t xxh32_Digest(const Xxh32* pState)
{
    const uint32_t* v = pState->v;
    uint32_t h = pState->cbTotal >= 16 ? RotateLeft(v[0], 1) + RotateLeft(v[1], 7) +
                                             RotateLeft(v[2], 12) + RotateLeft(v[3], 18)
                                       : v[2] + kPrime5;
    h += (uint32_t)pState->cbTotal;
    const uint8_t* p = pState->abTail;
    const uint8_t* pEnd = p + pState->cbTail;
    for (; p + 4 <= pEnd; p += 4)
        h = RotateLeft(h + Le32(p) * kPrime3, 17) * kPrime4;
    for (; p < pEnd; ++p)
        h = RotateLeft(h + *p * kPrime5, 11) * kPrime1;
    h ^= h >> 15;
    h *= kPrime2;
    h ^= h >> 13;
    h *= kPrime3;
    h ^= h >> 16;
    return h;
}

uint32_t xxh32_Of(const void* pData, size_t cb, uint32_t dwSeed)
{
    Xxh32 state;
    xxh32_Start(&state, dwSeed);
    xxh32_Add(&state, pData, cb);
    return xxh32_Digest(&state);
}
