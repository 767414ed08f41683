// The package's scrambling: each byte becomes its two's-complement negation.
// It is its own inverse and keyless, so chunks of any size scramble alike.
// Every byte of a package passes through here, so four bytes are negated at
// a time: the low seven bits of each byte take the +1 without carrying into
// the next byte, and the top bit is fixed up afterwards.
#include "package_format.h"

#include <string.h>

static uint32_t NegateBytes(uint32_t dw)
{
    uint32_t dwInv = ~dw;
    return ((dwInv & 0x7F7F7F7Fu) + 0x01010101u) ^ (dwInv & 0x80808080u);
}

uint32_t MixBuffer(uint8_t* pBuf, uint32_t cbBuf)
{
    uint32_t i = 0;
    for (; i + 4 <= cbBuf; i += 4) {
        uint32_t dw;
        memcpy(&dw, pBuf + i, 4);
        dw = NegateBytes(dw);
        memcpy(pBuf + i, &dw, 4);
    }
    for (; i < cbBuf; ++i)
        pBuf[i] = (uint8_t)(0u - pBuf[i]);
    return cbBuf;
}
