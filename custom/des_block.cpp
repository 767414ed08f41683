// The DES block cipher, table-driven: each round is eight lookups in tables
// that combine one S-box with the P permutation, indexed by the pre-split
// subkey words; the initial and final permutations are masked swaps.
#include "des_internal.h"

namespace
{

// The eight S-boxes of FIPS 46, row by row.
constexpr uint8_t kSBox[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// P: output bit i (1 = most significant) is input bit kP[i - 1].
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

struct SpTables {
    uint32_t t[8][64];
};

// Entry v of table s: S-box s for the 6-bit input v (row from the outer two
// bits, column from the inner four), put in its nibble and permuted by P.
constexpr SpTables BuildSpTables()
{
    SpTables sp = {};
    for (int s = 0; s < 8; ++s) {
        for (int v = 0; v < 64; ++v) {
            int nRow = ((v >> 4) & 2) | (v & 1);
            int nCol = (v >> 1) & 15;
            uint32_t dwBefore = (uint32_t)kSBox[s][nRow * 16 + nCol] << (28 - 4 * s);
            uint32_t dwAfter = 0;
            for (int i = 0; i < 32; ++i)
                dwAfter |= ((dwBefore >> (32 - kP[i])) & 1u) << (31 - i);
            sp.t[s][v] = dwAfter;
        }
    }
    return sp;
}

constexpr SpTables kSp = BuildSpTables();

inline uint32_t RotateLeft(uint32_t v, unsigned n)
{
    return (v << n) | (v >> (32 - n));
}

// Exchanges the bits of a selected by (m << n) with the bits of b selected
// by m; applied in the right order these swaps make up IP and its inverse.
inline void SwapMasked(uint32_t* pA, uint32_t* pB, unsigned n, uint32_t m)
{
    uint32_t t = ((*pA >> n) ^ *pB) & m;
    *pB ^= t;
    *pA ^= t << n;
}

inline uint32_t LoadBe32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

inline void StoreBe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
}

// The round function. Rotating R right by 3 lines up the expansion groups
// of S-boxes 1, 3, 5, 7 with the bytes of the first subkey word; rotating it
// left by 1 lines up those of S-boxes 2, 4, 6, 8 with the second.
inline uint32_t Feistel(uint32_t r, const uint32_t* pSubkey)
{
    uint32_t t = RotateLeft(r, 29) ^ pSubkey[0];
    uint32_t u = RotateLeft(r, 1) ^ pSubkey[1];
    return kSp.t[0][(t >> 24) & 63] ^ kSp.t[2][(t >> 16) & 63] ^ kSp.t[4][(t >> 8) & 63] ^
           kSp.t[6][t & 63] ^ kSp.t[1][(u >> 24) & 63] ^ kSp.t[3][(u >> 16) & 63] ^
           kSp.t[5][(u >> 8) & 63] ^ kSp.t[7][u & 63];
}

} // namespace

void des_CryptBlock(const DesSchedule schedule, const uint8_t abIn[8], uint8_t abOut[8])
{
    uint32_t l = LoadBe32(abIn);
    uint32_t r = LoadBe32(abIn + 4);

    SwapMasked(&l, &r, 4, 0x0f0f0f0f);
    SwapMasked(&l, &r, 16, 0x0000ffff);
    SwapMasked(&r, &l, 2, 0x33333333);
    SwapMasked(&r, &l, 8, 0x00ff00ff);
    SwapMasked(&l, &r, 1, 0x55555555);

    for (int i = 0; i < 16; i += 2) {
        l ^= Feistel(r, schedule + 2 * i);
        r ^= Feistel(l, schedule + 2 * i + 2);
    }

    // The halves leave the last round exchanged: r is the left half now.
    SwapMasked(&r, &l, 1, 0x55555555);
    SwapMasked(&l, &r, 8, 0x00ff00ff);
    SwapMasked(&l, &r, 2, 0x33333333);
    SwapMasked(&r, &l, 16, 0x0000ffff);
    SwapMasked(&r, &l, 4, 0x0f0f0f0f);

    StoreBe32(abOut, r);
    StoreBe32(abOut + 4, l);
}
