// MD5 as RFC 1321 defines it: 64-byte blocks, four rounds of sixteen steps,
// little-endian words throughout; and the CHAP response of RFC 1994 for the
// MD5 algorithm.
#include "md5.h"

#include <string.h>

// floor(abs(sin(i + 1)) * 2^32) for step i.
static const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

// Left-rotation amounts, four per round.
static const uint8_t kShift[4][4] = {
    {7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

static uint32_t RotateLeft(uint32_t v, unsigned n)
{
    return (v << n) | (v >> (32 - n));
}

static uint32_t LoadLe32(const uint8_t* p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static void StoreLe32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

static void Transform(uint32_t state[4], const uint8_t block[64])
{
    uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLe32(block + 4 * i);

    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (unsigned i = 0; i < 64; ++i) {
        unsigned nRound = i / 16;
        uint32_t f;
        unsigned g;
        switch (nRound) {
        case 0:
            f = (b & c) | (~b & d);
            g = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            g = 5 * i + 1;
            break;
        case 2:
            f = b ^ c ^ d;
            g = 3 * i + 5;
            break;
        default:
            f = c ^ (b | ~d);
            g = 7 * i;
            break;
        }
        uint32_t sum = a + f + kSine[i] + x[g % 16];
        a = d;
        d = c;
        c = b;
        b = b + RotateLeft(sum, kShift[nRound][i % 4]);
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    memset(x, 0, sizeof x);
}

void md5_Init(Md5Context* pCtx)
{
    pCtx->state[0] = 0x67452301;
    pCtx->state[1] = 0xefcdab89;
    pCtx->state[2] = 0x98badcfe;
    pCtx->state[3] = 0x10325476;
    pCtx->count[0] = 0;
    pCtx->count[1] = 0;
}

void md5_Update(Md5Context* pCtx, const void* pData, size_t cb)
{
    const uint8_t* p = (const uint8_t*)pData;
    size_t nUsed = (pCtx->count[0] >> 3) & 63;

    // The bit count is kept modulo 2^64, as the padding records it.
    uint64_t qwBits = ((uint64_t)pCtx->count[1] << 32 | pCtx->count[0]) + ((uint64_t)cb << 3);
    pCtx->count[0] = (uint32_t)qwBits;
    pCtx->count[1] = (uint32_t)(qwBits >> 32);

    if (nUsed != 0) {
        size_t nFill = 64 - nUsed;
        if (cb < nFill) {
            memcpy(pCtx->buffer + nUsed, p, cb);
            return;
        }
        memcpy(pCtx->buffer + nUsed, p, nFill);
        Transform(pCtx->state, pCtx->buffer);
        p += nFill;
        cb -= nFill;
    }
    for (; cb >= 64; p += 64, cb -= 64)
        Transform(pCtx->state, p);
    if (cb != 0)
        memcpy(pCtx->buffer, p, cb);
}

void md5_Final(uint8_t abOut[MD5_DIGEST_SIZE], Md5Context* pCtx)
{
    uint8_t abLength[8];
    StoreLe32(abLength, pCtx->count[0]);
    StoreLe32(abLength + 4, pCtx->count[1]);

    // A single 1 bit, zeros up to 56 bytes modulo 64, then the bit count.
    static const uint8_t kPadding[64] = {0x80};
    size_t nUsed = (pCtx->count[0] >> 3) & 63;
    size_t nPad = nUsed < 56 ? 56 - nUsed : 120 - nUsed;
    md5_Update(pCtx, kPadding, nPad);
    md5_Update(pCtx, abLength, 8);

    for (int i = 0; i < 4; ++i)
        StoreLe32(abOut + 4 * i, pCtx->state[i]);
}

void md5_digest(uint8_t abOut[MD5_DIGEST_SIZE], const void* pData, size_t cb)
{
    Md5Context ctx;
    md5_Init(&ctx);
    md5_Update(&ctx, pData, cb);
    md5_Final(abOut, &ctx);
    // volatile so that the wipe of a dead object is not optimised away
    volatile uint8_t* pWipe = (volatile uint8_t*)&ctx;
    for (size_t i = 0; i < sizeof ctx; ++i)
        pWipe[i] = 0;
}

// The parts are fed to the digest one after another, so a secret of any
// length is digested whole.
void ChapMd5Response(uint8_t abOut[MD5_DIGEST_SIZE], const uint8_t abChallenge[16],
                     const char* pszSecret, uint8_t bIdentifier)
{
    Md5Context ctx;
    md5_Init(&ctx);
    md5_Update(&ctx, &bIdentifier, 1);
    md5_Update(&ctx, pszSecret, strlen(pszSecret));
    md5_Update(&ctx, abChallenge, 16);
    md5_Final(abOut, &ctx);
}
