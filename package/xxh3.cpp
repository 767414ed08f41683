// XXH3-64 as its author specifies it (xxHash's doc/xxhash_spec.md), for
// seed 0 and the default secret. An input of up to 240 bytes is mixed by
// the rules of its length class. A longer one goes through eight 64-bit
// lanes, a 64-byte stripe at a time against a window of the secret that
// slides by 8 bytes a stripe; the lanes are scrambled after each block of 16
// stripes, the input's last 64 bytes are taken as a stripe of their own, and
// the lanes are merged with the length. Every byte of a package passes
// through the stripes: they go through SSE2 where the processor has it
// (every x86-64 does; an i686 one is asked at the start), else through plain
// 64-bit arithmetic, which gives the same digest.
#include "xxh3.h"

#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <emmintrin.h>
#define XXH3_SSE2 1
#if defined(__SSE2__)
#define XXH3_SSE2_FN
#else
// The 32-bit launchers are built for any i686 and run this only on a
// processor that has SSE2; their stack may be aligned to 4 bytes only.
#include <cpuid.h>
#define XXH3_SSE2_FN __attribute__((target("sse2"), force_align_arg_pointer))
#endif
#endif

// The digest's parts that the size-optimised i686 build would otherwise
// inline into one another, which makes its code a tenth bigger.
#define XXH3_APART __attribute__((noinline))

namespace
{

const uint64_t kPrime32_1 = 0x9E3779B1u;
const uint64_t kPrime32_2 = 0x85EBCA77u;
const uint64_t kPrime32_3 = 0xC2B2AE3Du;
const uint64_t kPrime64_1 = 0x9E3779B185EBCA87ull;
const uint64_t kPrime64_2 = 0xC2B2AE3D27D4EB4Full;
const uint64_t kPrime64_3 = 0x165667B19E3779F9ull;
const uint64_t kPrime64_4 = 0x85EBCA77C2B2AE63ull;
const uint64_t kPrime64_5 = 0x27D4EB2F165667C5ull;
const uint64_t kPrimeMx1 = 0x165667919E3779F9ull;
const uint64_t kPrimeMx2 = 0x9FB21C651E98DF25ull;

enum {
    kStripe = 64,
    kStripesPerBlock = 16, // (the secret's 192 bytes - 64) / 8
    kScrambleAt = 128,     // the secret's last 64 bytes
    kLastStripeAt = 121,   // 192 - 64 - 7
    kMergeAt = 11,
    kMidMax = 240,
};

const uint8_t kSecret[192] = {
    0xb8, 0xfe, 0x6c, 0x39, 0x23, 0xa4, 0x4b, 0xbe, 0x7c, 0x01, 0x81, 0x2c, 0xf7, 0x21, 0xad, 0x1c,
    0xde, 0xd4, 0x6d, 0xe9, 0x83, 0x90, 0x97, 0xdb, 0x72, 0x40, 0xa4, 0xa4, 0xb7, 0xb3, 0x67, 0x1f,
    0xcb, 0x79, 0xe6, 0x4e, 0xcc, 0xc0, 0xe5, 0x78, 0x82, 0x5a, 0xd0, 0x7d, 0xcc, 0xff, 0x72, 0x21,
    0xb8, 0x08, 0x46, 0x74, 0xf7, 0x43, 0x24, 0x8e, 0xe0, 0x35, 0x90, 0xe6, 0x81, 0x3a, 0x26, 0x4c,
    0x3c, 0x28, 0x52, 0xbb, 0x91, 0xc3, 0x00, 0xcb, 0x88, 0xd0, 0x65, 0x8b, 0x1b, 0x53, 0x2e, 0xa3,
    0x71, 0x64, 0x48, 0x97, 0xa2, 0x0d, 0xf9, 0x4e, 0x38, 0x19, 0xef, 0x46, 0xa9, 0xde, 0xac, 0xd8,
    0xa8, 0xfa, 0x76, 0x3f, 0xe3, 0x9c, 0x34, 0x3f, 0xf9, 0xdc, 0xbb, 0xc7, 0xc7, 0x0b, 0x4f, 0x1d,
    0x8a, 0x51, 0xe0, 0x4b, 0xcd, 0xb4, 0x59, 0x31, 0xc8, 0x9f, 0x7e, 0xc9, 0xd9, 0x78, 0x73, 0x64,
    0xea, 0xc5, 0xac, 0x83, 0x34, 0xd3, 0xeb, 0xc3, 0xc5, 0x81, 0xa0, 0xff, 0xfa, 0x13, 0x63, 0xeb,
    0x17, 0x0d, 0xdd, 0x51, 0xb7, 0xf0, 0xda, 0x49, 0xd3, 0x16, 0x55, 0x26, 0x29, 0xd4, 0x68, 0x9e,
    0x2b, 0x16, 0xbe, 0x58, 0x7d, 0x47, 0xa1, 0xfc, 0x8f, 0xf8, 0xb8, 0xd1, 0x7a, 0xd0, 0x31, 0xce,
    0x45, 0xcb, 0x3a, 0x8f, 0x95, 0x16, 0x04, 0x28, 0xaf, 0xd7, 0xfb, 0xca, 0xbb, 0x4b, 0x40, 0x7e,
};

inline uint32_t Le32(const uint8_t* p)
{
    uint32_t v;
    memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap32(v);
#endif
    return v;
}

// One load where the compiler sees that the processor is little-endian.
inline uint64_t Le64(const uint8_t* p)
{
    return (uint64_t)Le32(p + 4) << 32 | Le32(p);
}

inline uint64_t RotateLeft(uint64_t v, unsigned n)
{
    return (v << n) | (v >> (64 - n));
}

// The full 128-bit product of a and b, its two halves xored.
uint64_t MulFold(uint64_t a, uint64_t b)
{
#ifdef __SIZEOF_INT128__
    unsigned __int128 product = (unsigned __int128)a * b;
    return (uint64_t)product ^ (uint64_t)(product >> 64);
#else
    uint32_t dwALow = (uint32_t)a, dwAHigh = (uint32_t)(a >> 32);
    uint32_t dwBLow = (uint32_t)b, dwBHigh = (uint32_t)(b >> 32);
    uint64_t ullLoLo = (uint64_t)dwALow * dwBLow, ullHiLo = (uint64_t)dwAHigh * dwBLow;
    uint64_t ullLoHi = (uint64_t)dwALow * dwBHigh, ullHiHi = (uint64_t)dwAHigh * dwBHigh;
    uint64_t ullCross = (ullLoLo >> 32) + (uint32_t)ullHiLo + ullLoHi;
    uint64_t ullHigh = (ullHiLo >> 32) + (ullCross >> 32) + ullHiHi;
    return (ullCross << 32 | (uint32_t)ullLoLo) ^ ullHigh;
#endif
}

XXH3_APART uint64_t Avalanche(uint64_t v)
{
    v ^= v >> 37;
    v *= kPrimeMx1;
    return v ^ (v >> 32);
}

XXH3_APART uint64_t AvalancheXxh64(uint64_t v)
{
    v ^= v >> 33;
    v *= kPrime64_2;
    v ^= v >> 29;
    v *= kPrime64_3;
    return v ^ (v >> 32);
}

uint64_t Mix16(const uint8_t* p, const uint8_t* pSecret)
{
    return MulFold(Le64(p) ^ Le64(pSecret), Le64(p + 8) ^ Le64(pSecret + 8));
}

XXH3_APART uint64_t DigestUpTo16(const uint8_t* p, size_t cb)
{
    if (cb > 8) {
        uint64_t ullLow = Le64(kSecret + 24) ^ Le64(kSecret + 32) ^ Le64(p);
        uint64_t ullHigh = Le64(kSecret + 40) ^ Le64(kSecret + 48) ^ Le64(p + cb - 8);
        return Avalanche(cb + __builtin_bswap64(ullLow) + ullHigh + MulFold(ullLow, ullHigh));
    }
    if (cb >= 4) {
        uint64_t v =
            Le64(kSecret + 8) ^ Le64(kSecret + 16) ^ ((uint64_t)Le32(p) << 32 | Le32(p + cb - 4));
        v ^= RotateLeft(v, 49) ^ RotateLeft(v, 24);
        v *= kPrimeMx2;
        v ^= (v >> 35) + cb;
        v *= kPrimeMx2;
        return v ^ (v >> 28);
    }
    if (cb > 0) {
        uint32_t dwCombined = (uint32_t)p[cb - 1] | (uint32_t)cb << 8 | (uint32_t)p[0] << 16 |
                              (uint32_t)p[cb >> 1] << 24;
        return AvalancheXxh64((Le32(kSecret) ^ Le32(kSecret + 4)) ^ (uint64_t)dwCombined);
    }
    return AvalancheXxh64(Le64(kSecret + 56) ^ Le64(kSecret + 64));
}

// 17 to 128 bytes: 16-byte pieces from the start paired with pieces from
// the end; 129 to 240: the pieces in turn, the first eight avalanched apart,
// and the last 16 bytes.
XXH3_APART uint64_t DigestUpTo240(const uint8_t* p, size_t cb)
{
    uint64_t ullAcc = cb * kPrime64_1;
    if (cb <= 128) {
        for (size_t i = 0; i <= (cb - 1) / 32; ++i)
            ullAcc += Mix16(p + 16 * i, kSecret + 32 * i) +
                      Mix16(p + cb - 16 * (i + 1), kSecret + 32 * i + 16);
        return Avalanche(ullAcc);
    }
    for (size_t i = 0; i < 8; ++i)
        ullAcc += Mix16(p + 16 * i, kSecret + 16 * i);
    ullAcc = Avalanche(ullAcc);
    for (size_t i = 8; i < cb / 16; ++i)
        ullAcc += Mix16(p + 16 * i, kSecret + 16 * (i - 8) + 3);
    ullAcc += Mix16(p + cb - 16, kSecret + 119);
    return Avalanche(ullAcc);
}

void AccumulatePlain(uint64_t acc[8], const uint8_t* pStripe, const uint8_t* pSecret)
{
    for (int i = 0; i < 8; ++i) {
        uint64_t ullData = Le64(pStripe + 8 * i);
        uint64_t ullKeyed = ullData ^ Le64(pSecret + 8 * i);
        acc[i ^ 1] += ullData;
        acc[i] += (uint64_t)(uint32_t)ullKeyed * (uint32_t)(ullKeyed >> 32);
    }
}

void ScramblePlain(uint64_t acc[8])
{
    for (int i = 0; i < 8; ++i) {
        uint64_t v = acc[i] ^ (acc[i] >> 47) ^ Le64(kSecret + kScrambleAt + 8 * i);
        acc[i] = v * kPrime32_1;
    }
}

// n whole stripes, each followed by more input: a block's last stripe is
// never the input's, so the lanes are scrambled behind it.
void StripesPlain(Xxh3* pState, const uint8_t* p, size_t n)
{
    for (; n > 0; --n, p += kStripe) {
        AccumulatePlain(pState->acc, p, kSecret + 8 * pState->nStripes);
        if (++pState->nStripes == kStripesPerBlock) {
            ScramblePlain(pState->acc);
            pState->nStripes = 0;
        }
    }
}

#ifdef XXH3_SSE2

// Two lanes of a stripe: each adds the other's input word, and the product
// of its keyed word's two 32-bit halves.
XXH3_SSE2_FN inline __m128i AccumulatePair(__m128i acc, const uint8_t* p, const uint8_t* pSecret)
{
    __m128i data = _mm_loadu_si128((const __m128i*)p);
    __m128i keyed = _mm_xor_si128(data, _mm_loadu_si128((const __m128i*)pSecret));
    __m128i product = _mm_mul_epu32(keyed, _mm_shuffle_epi32(keyed, _MM_SHUFFLE(0, 3, 0, 1)));
    acc = _mm_add_epi64(acc, _mm_shuffle_epi32(data, _MM_SHUFFLE(1, 0, 3, 2)));
    return _mm_add_epi64(acc, product);
}

// The scramble after a block: each 64-bit lane times a 32-bit prime, from
// two 32-by-32-bit products.
XXH3_SSE2_FN void ScrambleVector(uint64_t acc[8])
{
    const __m128i prime = _mm_set1_epi32((int)kPrime32_1);
    for (int i = 0; i < 4; ++i) {
        __m128i v = _mm_loadu_si128((const __m128i*)acc + i);
        v = _mm_xor_si128(v, _mm_srli_epi64(v, 47));
        v = _mm_xor_si128(v, _mm_loadu_si128((const __m128i*)(kSecret + kScrambleAt) + i));
        __m128i low = _mm_mul_epu32(v, prime);
        __m128i high = _mm_mul_epu32(_mm_srli_epi64(v, 32), prime);
        _mm_storeu_si128((__m128i*)acc + i, _mm_add_epi64(low, _mm_slli_epi64(high, 32)));
    }
}

XXH3_SSE2_FN void StripesVector(Xxh3* pState, const uint8_t* p, size_t n)
{
    const __m128i* pAcc = (const __m128i*)pState->acc;
    __m128i acc0 = _mm_loadu_si128(pAcc), acc1 = _mm_loadu_si128(pAcc + 1);
    __m128i acc2 = _mm_loadu_si128(pAcc + 2), acc3 = _mm_loadu_si128(pAcc + 3);
    uint32_t nStripes = pState->nStripes;
    for (; n > 0; --n, p += kStripe) {
        const uint8_t* pSecret = kSecret + 8 * nStripes;
        acc0 = AccumulatePair(acc0, p, pSecret);
        acc1 = AccumulatePair(acc1, p + 16, pSecret + 16);
        acc2 = AccumulatePair(acc2, p + 32, pSecret + 32);
        acc3 = AccumulatePair(acc3, p + 48, pSecret + 48);
        if (++nStripes == kStripesPerBlock) {
            __m128i* pOut = (__m128i*)pState->acc;
            _mm_storeu_si128(pOut, acc0), _mm_storeu_si128(pOut + 1, acc1);
            _mm_storeu_si128(pOut + 2, acc2), _mm_storeu_si128(pOut + 3, acc3);
            ScrambleVector(pState->acc);
            acc0 = _mm_loadu_si128(pAcc), acc1 = _mm_loadu_si128(pAcc + 1);
            acc2 = _mm_loadu_si128(pAcc + 2), acc3 = _mm_loadu_si128(pAcc + 3);
            nStripes = 0;
        }
    }
    __m128i* pOut = (__m128i*)pState->acc;
    _mm_storeu_si128(pOut, acc0), _mm_storeu_si128(pOut + 1, acc1);
    _mm_storeu_si128(pOut + 2, acc2), _mm_storeu_si128(pOut + 3, acc3);
    pState->nStripes = nStripes;
}

#endif

void Stripes(Xxh3* pState, const uint8_t* p, size_t n)
{
#ifdef XXH3_SSE2
    if (pState->bVector) {
        StripesVector(pState, p, n);
        return;
    }
#endif
    StripesPlain(pState, p, n);
}

int HasSse2()
{
#if defined(XXH3_SSE2) && defined(__SSE2__)
    return 1;
#elif defined(XXH3_SSE2)
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __get_cpuid(1, &a, &b, &c, &d) && (d & bit_SSE2) != 0;
#else
    return 0;
#endif
}

XXH3_APART uint64_t Merge(const uint64_t acc[8], uint64_t ullStart)
{
    for (int i = 0; i < 4; ++i)
        ullStart += MulFold(acc[2 * i] ^ Le64(kSecret + kMergeAt + 16 * i),
                            acc[2 * i + 1] ^ Le64(kSecret + kMergeAt + 16 * i + 8));
    return Avalanche(ullStart);
}

// The stripes still in the buffer, each but the last followed by more
// input; then the input's last 64 bytes, which may begin in the stripe
// accumulated last; then the lanes merged with the length.
XXH3_APART uint64_t DigestLong(const Xxh3* pState)
{
    size_t cbBuf = pState->cbBuf;
    Xxh3 end = *pState;
    Stripes(&end, pState->abBuf, (cbBuf - 1) / kStripe);
    uint8_t abStripe[kStripe];
    size_t cbBefore = cbBuf < kStripe ? kStripe - cbBuf : 0;
    memcpy(abStripe, pState->abLast + kStripe - cbBefore, cbBefore);
    memcpy(abStripe + cbBefore, pState->abBuf + cbBuf + cbBefore - kStripe, kStripe - cbBefore);
    AccumulatePlain(end.acc, abStripe, kSecret + kLastStripeAt);
    return Merge(end.acc, pState->cbTotal * kPrime64_1);
}

} // namespace

void xxh3_Start(Xxh3* pState)
{
    static const uint64_t kStart[8] = {kPrime32_3, kPrime64_1, kPrime64_2, kPrime64_3,
                                       kPrime64_4, kPrime32_2, kPrime64_5, kPrime32_1};
    memset(pState, 0, sizeof *pState);
    memcpy(pState->acc, kStart, sizeof kStart);
    pState->bVector = HasSse2();
}

void xxh3_Add(Xxh3* pState, const void* pData, size_t cb)
{
    const uint8_t* p = (const uint8_t*)pData;
    if (cb == 0)
        return;
    pState->cbTotal += cb;
    if (cb <= sizeof pState->abBuf - pState->cbBuf) {
        memcpy(pState->abBuf + pState->cbBuf, p, cb);
        pState->cbBuf += (uint32_t)cb;
        return;
    }
    // More than the buffer holds: what it holds is followed by input now,
    // and goes in once it is filled to a whole stripe.
    if (pState->cbBuf > 0) {
        size_t cbFill = (kStripe - pState->cbBuf % kStripe) % kStripe;
        memcpy(pState->abBuf + pState->cbBuf, p, cbFill);
        p += cbFill, cb -= cbFill;
        size_t cbStripes = pState->cbBuf + cbFill;
        Stripes(pState, pState->abBuf, cbStripes / kStripe);
        memcpy(pState->abLast, pState->abBuf + cbStripes - kStripe, kStripe);
        pState->cbBuf = 0;
    }
    size_t nStripes = (cb - 1) / kStripe;
    if (nStripes > 0) {
        Stripes(pState, p, nStripes);
        p += kStripe * nStripes, cb -= kStripe * nStripes;
        memcpy(pState->abLast, p - kStripe, kStripe);
    }
    memcpy(pState->abBuf, p, cb);
    pState->cbBuf = (uint32_t)cb;
}

uint64_t xxh3_Digest(const Xxh3* pState)
{
    if (pState->cbTotal <= 16)
        return DigestUpTo16(pState->abBuf, pState->cbBuf);
    if (pState->cbTotal <= kMidMax)
        return DigestUpTo240(pState->abBuf, pState->cbBuf);
    return DigestLong(pState);
}

uint64_t xxh3_Of(const void* pData, size_t cb)
{
    Xxh3 state;
    xxh3_Start(&state);
    xxh3_Add(&state, pData, cb);
    return xxh3_Digest(&state);
}
