// The DES key schedule (PC-1, the left rotations, PC-2), run once per key at
// set-up; the tables are walked bit by bit, since no block waits on it.
#include "des_internal.h"

#include <string.h>

namespace
{

// PC-1: bit i of C (then D) is key bit kPc1[i - 1], 1 = most significant.
const uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                          10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                          63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                          14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};

// PC-2: subkey bit i is bit kPc2[i - 1] of C followed by D.
const uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                          26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                          51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};

const uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};

uint64_t Permute(uint64_t qwIn, unsigned nInBits, const uint8_t* pTable, unsigned nOutBits)
{
    uint64_t qwOut = 0;
    for (unsigned i = 0; i < nOutBits; ++i)
        qwOut = (qwOut << 1) | ((qwIn >> (nInBits - pTable[i])) & 1);
    return qwOut;
}

uint32_t Rotate28(uint32_t v, unsigned n)
{
    return ((v << n) | (v >> (28 - n))) & 0x0fffffff;
}

// The 48-bit subkey as two words of four 6-bit groups each.
void SplitSubkey(uint64_t qwSubkey, uint32_t* pOut)
{
    uint32_t adwGroup[8];
    for (int j = 0; j < 8; ++j)
        adwGroup[j] = (uint32_t)(qwSubkey >> (42 - 6 * j)) & 63;
    pOut[0] = adwGroup[0] << 24 | adwGroup[2] << 16 | adwGroup[4] << 8 | adwGroup[6];
    pOut[1] = adwGroup[1] << 24 | adwGroup[3] << 16 | adwGroup[5] << 8 | adwGroup[7];
}

} // namespace

void des_BuildSchedules(const uint8_t abKey[8], DesSchedule enc, DesSchedule dec)
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

int des_SetKey(const uint8_t abKey[8], DesContext* pCtx)
{
    des_BuildSchedules(abKey, pCtx->enc, pCtx->dec);
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
