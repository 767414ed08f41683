// Scrambles the caller's buffer in place and writes it; the buffer stays
// scrambled afterwards.
#include "package.h"

BOOL MixAndWrite(HANDLE hFile, BYTE* pBuf, DWORD cbBuf)
{
    MixBuffer(pBuf, cbBuf);
    DWORD dwWritten = 0;
    return WriteFile(hFile, pBuf, cbBuf, &dwWritten, NULL);
}
