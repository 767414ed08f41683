// The package's scrambling: each byte becomes its two's-complement negation.
// It is its own inverse and keyless, so chunks of any size scramble alike.
// Every byte of a package passes through here. Where the compiler has SSE2
// (x86-64: the Linux tool, the x64 twin) it negates sixteen bytes in one
// instruction from the plain loop; the 32-bit launchers, built for any
// i686, negate four bytes at a time: the low seven bits of each byte take
// the +1 without carrying into the next byte, and the top bit is fixed up
// afterwards.
#include "package_format.h"

#include <string.h>

#ifndef __SSE2__
static uint32_t NegateBytes(uint32_t dw)
{
    uint32_t dwInv = ~dw;
    return ((dwInv & 0x7F7F7F7Fu) + 0x01010101u) ^ (dwInv & 0x80808080u);
}
#endif

uint32_t MixBuffer(uint8_t* pBuf, uint32_t cbBuf)
{
    uint32_t i = 0;
#ifndef __SSE2__
    for (; i + 4 <= cbBuf; i += 4) {
        uint32_t dw;
        memcpy(&dw, pBuf + i, 4);
        dw = NegateBytes(dw);
        memcpy(pBuf + i, &dw, 4);
    }
#endif
    for (; i < cbBuf; ++i)
        pBuf[i] = (uint8_t)(0u - pBuf[i]);
    return cbBuf;
}
