// The package format's fixed marks and its scrambled reads and writes: what
// the packer, both unpackers and the release engineers' tool all go through.
#include "package.h"

#include <string.h>

const char g_szPkgMarker[PKG_MARKER_LEN + 1] = "^-=Kelvo=-^ Mirk ";
const char g_szPkgEndName[] = "^Kelvo_end^";

// Reads exactly cbBuf bytes and unscrambles them; a short read is a failure.
int ReadAndUnmix(HANDLE hFile, BYTE* pBuf, DWORD cbBuf)
{
    DWORD dwRead = 0;
    if (!ReadFile(hFile, pBuf, cbBuf, &dwRead, NULL) || dwRead != cbBuf)
        return 0;
    MixBuffer(pBuf, cbBuf);
    return 1;
}

// Scrambles the caller's buffer in place and writes it; the buffer stays
// scrambled afterwards.
BOOL MixAndWrite(HANDLE hFile, BYTE* pBuf, DWORD cbBuf)
{
    MixBuffer(pBuf, cbBuf);
    DWORD dwWritten = 0;
    return WriteFile(hFile, pBuf, cbBuf, &dwWritten, NULL);
}

DWORD pkg_ReadHeader(HANDLE hFile)
{
    BYTE marker[PKG_MARKER_LEN];
    if (!ReadAndUnmix(hFile, marker, sizeof marker))
        return PKG_ERR_READ_HEADER;
    return memcmp(marker, g_szPkgMarker, PKG_MARKER_LEN) == 0 ? 0 : PKG_ERR_BAD_HEADER;
}
