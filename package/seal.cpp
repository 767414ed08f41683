// The seal block's bytes: written by both tools alike, read by the walk.
// Every field is checked, so that a flipped bit anywhere in the block is
// told from a block of zero bytes (a setup from before the seal).
#include "seal.h"
#include "xxh3.h"

#include <stdio.h>
#include <string.h>

namespace
{

const char kMagic[8] = {'K', 'E', 'L', 'V', 'S', 'E', 'A', 'L'};
enum { kAtVersion = 8, kAtLength = 16, kAtDigest = 24, kAtCheck = 56 };

void PutLe(uint8_t* p, uint64_t v, int cb)
{
    for (int i = 0; i < cb; ++i)
        p[i] = (uint8_t)(v >> (8 * i));
}

uint64_t GetLe(const uint8_t* p, int cb)
{
    uint64_t v = 0;
    for (int i = cb - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

} // namespace

void pkg_MakeSeal(const PkgSeal* pSeal, uint8_t abBlock[PKG_SEAL_SIZE])
{
    memset(abBlock, 0, PKG_SEAL_SIZE);
    memcpy(abBlock, kMagic, sizeof kMagic);
    PutLe(abBlock + kAtVersion, PKG_SEAL_VERSION, 4);
    PutLe(abBlock + kAtLength, pSeal->cbPackage, 8);
    PutLe(abBlock + kAtDigest, pSeal->ullDigest, 8);
    PutLe(abBlock + kAtCheck, xxh3_Of(abBlock, kAtCheck), 8);
}

PkgSealBlock pkg_ReadSeal(const uint8_t abBlock[PKG_SEAL_SIZE], PkgSeal* pSeal)
{
    static const uint8_t kZero[PKG_SEAL_SIZE] = {};
    if (memcmp(abBlock, kZero, PKG_SEAL_SIZE) == 0)
        return PKG_SEAL_BLOCK_ZERO;
    uint64_t cbPackage = GetLe(abBlock + kAtLength, 8);
    PkgSeal seal = {(uint32_t)cbPackage, GetLe(abBlock + kAtDigest, 8)};
    uint8_t abExpected[PKG_SEAL_SIZE];
    pkg_MakeSeal(&seal, abExpected);
    if (cbPackage >> 32 != 0 || memcmp(abBlock, abExpected, PKG_SEAL_SIZE) != 0)
        return PKG_SEAL_BLOCK_UNREADABLE;
    *pSeal = seal;
    return PKG_SEAL_BLOCK_READ;
}

void pkg_DigestText(uint64_t ullDigest, char szOut[17])
{
    // Two halves: the launchers' C library may not know 64-bit conversions.
    snprintf(szOut, 17, "%08x%08x", (unsigned)(ullDigest >> 32), (unsigned)ullDigest);
}

int pkg_SealSaysDamaged(const PkgSealCheck* pCheck)
{
    return pCheck->eState == PKG_SEAL_MISMATCH || pCheck->eState == PKG_SEAL_WRONG_LENGTH ||
           pCheck->eState == PKG_SEAL_UNREADABLE;
}
