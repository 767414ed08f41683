// The package format's fixed marks, and the test of a header read from a
// package: what the packer, both unpackers and the release engineers' tools
// all go through.
#include "package_format.h"

#include <stdio.h>
#include <string.h>

const char g_szPkgMarker[PKG_MARKER_LEN + 1] = "^-=Kelvo=-^ Mirk ";
const char g_szPkgEndName[] = "^Kelvo_end^";

uint32_t pkg_CheckMarker(const uint8_t abStored[PKG_MARKER_LEN])
{
    uint8_t abPlain[PKG_MARKER_LEN];
    memcpy(abPlain, abStored, sizeof abPlain);
    MixBuffer(abPlain, sizeof abPlain);
    return memcmp(abPlain, g_szPkgMarker, PKG_MARKER_LEN) == 0 ? 0 : PKG_ERR_BAD_HEADER;
}

void pkg_LogV(void (*pfnLog)(const char* pszLine), const char* pszPrefix, const char* pszFormat,
              va_list args)
{
    if (pfnLog == NULL)
        return;
    char szLine[1024];
    int cchPrefix = snprintf(szLine, sizeof szLine, "%s", pszPrefix);
    if (cchPrefix >= 0 && (size_t)cchPrefix < sizeof szLine)
        vsnprintf(szLine + cchPrefix, sizeof szLine - cchPrefix, pszFormat, args);
    pfnLog(szLine);
}
