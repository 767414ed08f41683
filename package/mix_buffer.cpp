// The package's scrambling: each byte becomes its two's-complement negation.
// It is its own inverse and keyless, so chunks of any size scramble alike.
// Every byte of a package passes through here, so four bytes are negated at
// a time: the low seven bits of each byte take the +1 without carrying into
// the next byte, and the top bit is fixed up afterwards.
#include "package.h"

#include <string.h>

static DWORD NegateBytes(DWORD dw)
{
    DWORD dwInv = ~dw;
    return ((dwInv & 0x7F7F7F7Fu) + 0x01010101u) ^ (dwInv & 0x80808080u);
}

DWORD MixBuffer(BYTE* pBuf, DWORD cbBuf)
{
    DWORD i = 0;
    for (; i + 4 <= cbBuf; i += 4) {
        DWORD dw;
        memcpy(&dw, pBuf + i, 4);
        dw = NegateBytes(dw);
        memcpy(pBuf + i, &dw, 4);
    }
    for (; i < cbBuf; ++i)
        pBuf[i] = (BYTE)(0u - pBuf[i]);
    return cbBuf;
}
