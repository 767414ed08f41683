// DES and triple DES (FIPS 46-3): the block cipher, the key schedule and
// ECB with PKCS#5 padding.
//
// The block cipher is table-driven: each round is eight lookups in tables
// that combine one S-box with the P permutation, indexed by the pre-split
// subkey words; the initial and final permutations are masked swaps. The key
// schedule runs once per key at set-up, so its tables are walked bit by bit.
// The padding is always present: a whole block of eights follows input that
// fills its last block, so the length can always be read back from the
// final byte.
#include "des.h"

#include <string.h>

// The eight S-boxes of FIPS 46, row by row.
static constexpr uint8_t kSBox[8][64] = {
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
static constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                   2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};

// PC-1: bit i of C (then D) is key bit kPc1[i - 1], 1 = most significant.
static const uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                 10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                 63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

// PC-2: subkey bit i is bit kPc2[i - 1] of C followed by D.
static const uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                 26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

static const uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

// The largest padded length the signed ECB results can report.
static const uint64_t kMaxEcbLength = 0x7ffffff8;

struct SpTables {
    uint32_t t[8][64];
};

// Entry v of table s: S-box s for the 6-bit input v (row from the outer two
// bits, column from the inner four), put in its nibble and permuted by P.
static constexpr SpTables BuildSpTables()
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

static constexpr SpTables kSp = BuildSpTables();

static inline uint32_t RotateLeft(uint32_t v, unsigned n)
{
    return (v << n) | (v >> (32 - n));
}

// Exchanges the bits of a selected by (m << n) with the bits of b selected
// by m; applied in the right order these swaps make up IP and its inverse.
static inline void SwapMasked(uint32_t* pA, uint32_t* pB, unsigned n, uint32_t m)
{
    uint32_t t = ((*pA >> n) ^ *pB) & m;
    *pB ^= t;
    *pA ^= t << n;
}

static inline uint32_t LoadBe32(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static inline void StoreBe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
}

// The round function. Rotating R right by 3 lines up the expansion groups
// of S-boxes 1, 3, 5, 7 with the bytes of the first subkey word; rotating it
// left by 1 lines up those of S-boxes 2, 4, 6, 8 with the second.
static inline uint32_t Feistel(uint32_t r, const uint32_t* pSubkey)
{
    uint32_t t = RotateLeft(r, 29) ^ pSubkey[0];
    uint32_t u = RotateLeft(r, 1) ^ pSubkey[1];
    return kSp.t[0][(t >> 24) & 63] ^ kSp.t[2][(t >> 16) & 63] ^ kSp.t[4][(t >> 8) & 63] ^
           kSp.t[6][t & 63] ^ kSp.t[1][(u >> 24) & 63] ^ kSp.t[3][(u >> 16) & 63] ^
           kSp.t[5][(u >> 8) & 63] ^ kSp.t[7][u & 63];
}

// One block through the sixteen rounds of one schedule.
static void CryptBlock(const DesSchedule schedule, const uint8_t abIn[8], uint8_t abOut[8])
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

// One block through nSchedules schedules in turn: 1 for DES, 3 for triple DES.
static void CryptChain(const DesSchedule* pSchedules, int nSchedules, const uint8_t abIn[8],
                       uint8_t abOut[8])
{
    CryptBlock(pSchedules[0], abIn, abOut);
    for (int i = 1; i < nSchedules; ++i)
        CryptBlock(pSchedules[i], abOut, abOut);
}

static uint64_t Permute(uint64_t qwIn, unsigned nInBits, const uint8_t* pTable, unsigned nOutBits)
{
    uint64_t qwOut = 0;
    for (unsigned i = 0; i < nOutBits; ++i)
        qwOut = (qwOut << 1) | ((qwIn >> (nInBits - pTable[i])) & 1);
    return qwOut;
}

static uint32_t Rotate28(uint32_t v, unsigned n)
{
    return ((v << n) | (v >> (28 - n))) & 0x0fffffff;
}

// The 48-bit subkey as two words of four 6-bit groups each.
static void SplitSubkey(uint64_t qwSubkey, uint32_t* pOut)
{
    uint32_t adwGroup[8];
    for (int j = 0; j < 8; ++j)
        adwGroup[j] = (uint32_t)(qwSubkey >> (42 - 6 * j)) & 63;
    pOut[0] = adwGroup[0] << 24 | adwGroup[2] << 16 | adwGroup[4] << 8 | adwGroup[6];
    pOut[1] = adwGroup[1] << 24 | adwGroup[3] << 16 | adwGroup[5] << 8 | adwGroup[7];
}

// The subkeys of one key in encryption order and in decryption order.
static void BuildSchedules(const uint8_t abKey[8], DesSchedule enc, DesSchedule dec)
{
    uint64_t qwKey = 0;
    for (int i = 0; i < 8; ++i)
        qwKey = (qwKey << 8) | abKey[i];

    // The parity bits (the low bit of each byte) are not in PC-1.
    uint64_t qwCd = Permute(qwKey, 64, kPc1, 56);
    uint32_t c = (uint32_t)(qwCd >> 28);
    uint32_t d = (uint32_t)qwCd & 0x0fffffff;
    for (int nRound = 0; nRound < 16; ++nRound) {
        c = Rotate28(c, kRotations[nRound]);
        d = Rotate28(d, kRotations[nRound]);
        uint64_t qwSubkey = Permute((uint64_t)c << 28 | d, 56, kPc2, 48);
        SplitSubkey(qwSubkey, enc + 2 * nRound);
    }
    for (int nRound = 0; nRound < 16; ++nRound) {
        dec[2 * nRound] = enc[30 - 2 * nRound];
        dec[2 * nRound + 1] = enc[31 - 2 * nRound];
    }
}

static int32_t EncryptEcb(const DesSchedule* pSchedules, int nSchedules, const uint8_t* pIn,
                          uint32_t n, uint8_t* pOut, uint32_t cbOut)
{
    uint64_t cbFull = n & ~7u;
    uint64_t cbPadded = cbFull + 8;
    if (cbPadded > cbOut || cbPadded > kMaxEcbLength)
        return -1;
    for (uint64_t off = 0; off < cbFull; off += 8)
        CryptChain(pSchedules, nSchedules, pIn + off, pOut + off);

    uint8_t abLast[8];
    uint32_t nRest = n & 7;
    if (nRest != 0)
        memcpy(abLast, pIn + cbFull, nRest);
    memset(abLast + nRest, (int)(8 - nRest), 8 - nRest);
    CryptChain(pSchedules, nSchedules, abLast, pOut + cbFull);
    return (int32_t)cbPadded;
}

// The last block is decrypted first: its padding count decides how much
// plaintext there is, and so whether it fits, before anything is written.
static int32_t DecryptEcb(const DesSchedule* pSchedules, int nSchedules, const uint8_t* pIn,
                          uint32_t n, uint8_t* pOut, uint32_t cbOut)
{
    uint8_t abLast[8];
    uint32_t cbFull = n - 8;
    CryptChain(pSchedules, nSchedules, pIn + cbFull, abLast);
    uint32_t nPad = abLast[7];
    if (nPad == 0 || nPad > 8)
        return -1;
    uint32_t cbPlain = n - nPad;
    if (cbPlain > cbOut)
        return -1;
    for (uint32_t off = 0; off < cbFull; off += 8)
        CryptChain(pSchedules, nSchedules, pIn + off, pOut + off);
    memcpy(pOut + cbFull, abLast, 8 - nPad);
    return (int32_t)cbPlain;
}

static bool IsWholeBlocks(uint32_t n)
{
    return n != 0 && n % 8 == 0 && n <= kMaxEcbLength;
}

int des_SetKey(const uint8_t abKey[8], DesContext* pCtx)
{
    BuildSchedules(abKey, pCtx->enc, pCtx->dec);
    return 0;
}

int des3_SetKey(const uint8_t abKey[24], Des3Context* pCtx)
{
    DesContext k1, k2, k3;
    des_SetKey(abKey, &k1);
    des_SetKey(abKey + 8, &k2);
    des_SetKey(abKey + 16, &k3);
    // Encryption runs E(K1) D(K2) E(K3), decryption D(K3) E(K2) D(K1).
    memcpy(pCtx->enc[0], k1.enc, sizeof(DesSchedule));
    memcpy(pCtx->enc[1], k2.dec, sizeof(DesSchedule));
    memcpy(pCtx->enc[2], k3.enc, sizeof(DesSchedule));
    memcpy(pCtx->dec[0], k3.dec, sizeof(DesSchedule));
    memcpy(pCtx->dec[1], k2.enc, sizeof(DesSchedule));
    memcpy(pCtx->dec[2], k1.dec, sizeof(DesSchedule));
    return 0;
}

void des_EncryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    CryptBlock(pCtx->enc, abIn, abOut);
}

void des_DecryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    CryptBlock(pCtx->dec, abIn, abOut);
}

void des3_EncryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    CryptChain(pCtx->enc, 3, abIn, abOut);
}

void des3_DecryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    CryptChain(pCtx->dec, 3, abIn, abOut);
}

int32_t des_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx)
{
    return EncryptEcb(&pCtx->enc, 1, pIn, n, pOut, cbOut);
}

int32_t des3_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx)
{
    return EncryptEcb(pCtx->enc, 3, pIn, n, pOut, cbOut);
}

// Single DES lets the ciphertext exceed the capacity by up to one block,
// the padding that is not written; the plaintext itself must still fit.
int32_t des_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx)
{
    if (!IsWholeBlocks(n) || (uint64_t)(cbOut & ~7u) + 8 < n)
        return -1;
    return DecryptEcb(&pCtx->dec, 1, pIn, n, pOut, cbOut);
}

int32_t des3_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx)
{
    if (!IsWholeBlocks(n) || cbOut < n)
        return -1;
    return DecryptEcb(pCtx->dec, 3, pIn, n, pOut, cbOut);
}
