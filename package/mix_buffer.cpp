// The package's scrambling: each byte becomes its two's-complement negation.
// It is its own inverse and keyless, so chunks of any size scramble alike.
#include "package.h"

DWORD MixBuffer(BYTE* pBuf, DWORD cbBuf)
{
    for (DWORD i = 0; i < cbBuf; ++i)
        pBuf[i] = (BYTE)(0u - pBuf[i]);
    return cbBuf;
}
