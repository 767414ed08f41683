// Reads exactly cbBuf bytes and unscrambles them; a short read is a failure.
#include "package.h"

int ReadAndUnmix(HANDLE hFile, BYTE* pBuf, DWORD cbBuf)
{
    DWORD dwRead = 0;
    if (!ReadFile(hFile, pBuf, cbBuf, &dwRead, NULL) || dwRead != cbBuf)
        return 0;
    MixBuffer(pBuf, cbBuf);
    return 1;
}
