// Record names on Linux: the package holds them in the target PC's ANSI
// code page, here 1252 (Western) or 936 (Chinese, GBK), converted with
// glibc's iconv; without one, only ASCII is taken.
#include "package_posix.h"

#include <iconv.h>
#include <string.h>

namespace
{

const char* IconvName(uint32_t uCodePage)
{
    return uCodePage == 1252 ? "CP1252" : uCodePage == 936 ? "CP936" : NULL;
}

// cbIn bytes of one encoding into at most cbOut of another: the bytes
// written, or -1 when a character does not convert or does not fit.
long Convert(const char* pszTo, const char* pszFrom, const char* pIn, size_t cbIn, char* pOut,
             size_t cbOut)
{
    iconv_t cd = iconv_open(pszTo, pszFrom);
    if (cd == (iconv_t)-1)
        return -1;
    char* pszIn = (char*)pIn;
    char* pszOut = pOut;
    size_t cbInLeft = cbIn, cbOutLeft = cbOut;
    size_t nDone = iconv(cd, &pszIn, &cbInLeft, &pszOut, &cbOutLeft);
    if (nDone != (size_t)-1) // the shift state, for encodings that have one
        nDone = iconv(cd, NULL, NULL, &pszOut, &cbOutLeft);
    iconv_close(cd);
    return nDone == (size_t)-1 || cbInLeft != 0 ? -1 : (long)(cbOut - cbOutLeft);
}

int IsAscii(const char* psz)
{
    for (; *psz != '\0'; ++psz) {
        if ((unsigned char)*psz > 0x7F)
            return 0;
    }
    return 1;
}

int ConvertText(const char* pszTo, const char* pszFrom, const char* pszIn, char* pszOut,
                size_t cbOut)
{
    if (cbOut == 0)
        return 0;
    long cb = Convert(pszTo, pszFrom, pszIn, strlen(pszIn), pszOut, cbOut - 1);
    if (cb < 0) {
        pszOut[0] = '\0';
        return 0;
    }
    pszOut[cb] = '\0';
    return 1;
}

int CopyAscii(const char* pszIn, char* pszOut, size_t cbOut)
{
    size_t cch = strlen(pszIn);
    if (!IsAscii(pszIn) || cch >= cbOut) {
        if (cbOut > 0)
            pszOut[0] = '\0';
        return 0;
    }
    memcpy(pszOut, pszIn, cch + 1);
    return 1;
}

} // namespace

// Linux has no ANSI code page: 0 takes ASCII only.
const int g_bPkgSystemCodePage = 0;

// Code page 936 takes two bytes for every character whose first byte is 81
// to FE; 1252 has none.
int pkg_IsLeadByte(uint32_t uCodePage, uint8_t b)
{
    return uCodePage == 936 && b >= 0x81 && b <= 0xFE;
}

int pkg_DecodeName(uint32_t uCodePage, const char* p, size_t cb, uint16_t* pw, size_t cwMax)
{
    const char* pszName = IconvName(uCodePage);
    if (pszName == NULL) {
        if (cb > cwMax)
            return -1;
        for (size_t i = 0; i < cb; ++i) {
            if ((unsigned char)p[i] > 0x7F)
                return -1;
            pw[i] = (unsigned char)p[i];
        }
        return (int)cb;
    }
    char abOut[64];
    long cbOut = Convert("UTF-16LE", pszName, p, cb, abOut,
                         cwMax * 2 < sizeof abOut ? cwMax * 2 : sizeof abOut);
    if (cbOut < 0)
        return -1;
    for (long i = 0; i < cbOut / 2; ++i)
        pw[i] = (uint16_t)((unsigned char)abOut[2 * i] | (unsigned char)abOut[2 * i + 1] << 8);
    return (int)(cbOut / 2);
}

int pkg_ToCodePage(uint32_t uCodePage, const char* pszUtf8, char* pszOut, size_t cbOut)
{
    const char* pszName = IconvName(uCodePage);
    return pszName ? ConvertText(pszName, "UTF-8", pszUtf8, pszOut, cbOut)
                   : CopyAscii(pszUtf8, pszOut, cbOut);
}

int pkg_FromCodePage(uint32_t uCodePage, const char* pszBytes, char* pszOut, size_t cbOut)
{
    const char* pszName = IconvName(uCodePage);
    return pszName ? ConvertText("UTF-8", pszName, pszBytes, pszOut, cbOut)
                   : CopyAscii(pszBytes, pszOut, cbOut);
}
