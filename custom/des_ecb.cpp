// ECB mode with PKCS#5 padding over single and triple DES. The padding is
// always present: a whole block of eights follows input that fills its last
// block, so the length can always be read back from the final byte.
#include "des_internal.h"

#include <string.h>

namespace
{

typedef void (*BlockFn)(const void* pCtx, const uint8_t abIn[8], uint8_t abOut[8]);

// The largest padded length the signed result can report.
const uint64_t kMaxEcbLength = 0x7ffffff8;

void EncryptSingle(const void* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_EncryptBlock((const DesContext*)pCtx, abIn, abOut);
}

void DecryptSingle(const void* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_DecryptBlock((const DesContext*)pCtx, abIn, abOut);
}

void EncryptTriple(const void* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des3_EncryptBlock((const Des3Context*)pCtx, abIn, abOut);
}

void DecryptTriple(const void* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des3_DecryptBlock((const Des3Context*)pCtx, abIn, abOut);
}

int32_t EncryptEcb(BlockFn pfnBlock, const void* pCtx, const uint8_t* pIn, uint32_t n,
                   uint8_t* pOut, uint32_t cbOut)
{
    uint64_t cbFull = n & ~7u;
    uint64_t cbPadded = cbFull + 8;
    if (cbPadded > cbOut || cbPadded > kMaxEcbLength)
        return -1;
    for (uint64_t off = 0; off < cbFull; off += 8)
        pfnBlock(pCtx, pIn + off, pOut + off);

    uint8_t abLast[8];
    uint32_t nRest = n & 7;
    if (nRest != 0)
        memcpy(abLast, pIn + cbFull, nRest);
    memset(abLast + nRest, (int)(8 - nRest), 8 - nRest);
    pfnBlock(pCtx, abLast, pOut + cbFull);
    return (int32_t)cbPadded;
}

// The last block is decrypted first: its padding count decides how much
// plaintext there is, and so whether it fits, before anything is written.
int32_t DecryptEcb(BlockFn pfnBlock, const void* pCtx, const uint8_t* pIn, uint32_t n,
                   uint8_t* pOut, uint32_t cbOut)
{
    uint8_t abLast[8];
    uint32_t cbFull = n - 8;
    pfnBlock(pCtx, pIn + cbFull, abLast);
    uint32_t nPad = abLast[7];
    if (nPad == 0 || nPad > 8)
        return -1;
    uint32_t cbPlain = n - nPad;
    if (cbPlain > cbOut)
        return -1;
    for (uint32_t off = 0; off < cbFull; off += 8)
        pfnBlock(pCtx, pIn + off, pOut + off);
    memcpy(pOut + cbFull, abLast, 8 - nPad);
    return (int32_t)cbPlain;
}

bool IsWholeBlocks(uint32_t n)
{
    return n != 0 && n % 8 == 0 && n <= kMaxEcbLength;
}

} // namespace

void des_EncryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_CryptBlock(pCtx->enc, abIn, abOut);
}

void des_DecryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_CryptBlock(pCtx->dec, abIn, abOut);
}

void des3_EncryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_CryptBlock(pCtx->enc[0], abIn, abOut);
    des_CryptBlock(pCtx->enc[1], abOut, abOut);
    des_CryptBlock(pCtx->enc[2], abOut, abOut);
}

void des3_DecryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8])
{
    des_CryptBlock(pCtx->dec[0], abIn, abOut);
    des_CryptBlock(pCtx->dec[1], abOut, abOut);
    des_CryptBlock(pCtx->dec[2], abOut, abOut);
}

int32_t des_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx)
{
    return EncryptEcb(EncryptSingle, pCtx, pIn, n, pOut, cbOut);
}

int32_t des3_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx)
{
    return EncryptEcb(EncryptTriple, pCtx, pIn, n, pOut, cbOut);
}

// Single DES lets the ciphertext exceed the capacity by up to one block,
// the padding that is not written; the plaintext itself must still fit.
int32_t des_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx)
{
    if (!IsWholeBlocks(n) || (uint64_t)(cbOut & ~7u) + 8 < n)
        return -1;
    return DecryptEcb(DecryptSingle, pCtx, pIn, n, pOut, cbOut);
}

int32_t des3_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx)
{
    if (!IsWholeBlocks(n) || cbOut < n)
        return -1;
    return DecryptEcb(DecryptTriple, pCtx, pIn, n, pOut, cbOut);
}
