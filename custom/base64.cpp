// Base64 with the RFC 4648 alphabet: three bytes become four characters of
// six bits each, most significant bits first; a short last group is filled
// with "=". The decoder checks the whole text before it writes the first
// byte, so a refused text leaves nothing behind but an empty result.
#include "base64.h"

#include <string.h>

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

static const int kPad = 64;
static const int kInvalid = -1;

static int SextetOf(char ch)
{
    if (ch >= 'A' && ch <= 'Z')
        return ch - 'A';
    if (ch >= 'a' && ch <= 'z')
        return ch - 'a' + 26;
    if (ch >= '0' && ch <= '9')
        return ch - '0' + 52;
    if (ch == '+')
        return 62;
    if (ch == '/')
        return 63;
    if (ch == '=')
        return kPad;
    return kInvalid;
}

// Number of output bytes of one group, or -1. Padding may only close the
// text: "x===" and "xx=y" cannot come from an encoder, nor "=" in a group
// that another group follows.
static int GroupLength(const char* pGroup, bool bLastGroup)
{
    int anSextet[4];
    for (int i = 0; i < 4; ++i) {
        anSextet[i] = SextetOf(pGroup[i]);
        if (anSextet[i] == kInvalid)
            return -1;
    }
    if (anSextet[0] == kPad || anSextet[1] == kPad)
        return -1;
    if (anSextet[2] == kPad)
        return anSextet[3] == kPad && bLastGroup ? 1 : -1;
    if (anSextet[3] == kPad)
        return bLastGroup ? 2 : -1;
    return 3;
}

static bool IsCanonical(const char* pszIn, size_t cch)
{
    if (cch % 4 != 0)
        return false;
    for (size_t i = 0; i < cch; i += 4) {
        if (GroupLength(pszIn + i, i + 4 == cch) < 0)
            return false;
    }
    return true;
}

int b64_Encode(const uint8_t* pIn, char* pszOut, int32_t cbIn)
{
    char* p = pszOut;
    for (int32_t i = 0; i < cbIn; i += 3) {
        int32_t nLeft = cbIn - i;
        uint32_t v = (uint32_t)pIn[i] << 16;
        if (nLeft > 1)
            v |= (uint32_t)pIn[i + 1] << 8;
        if (nLeft > 2)
            v |= pIn[i + 2];
        *p++ = kAlphabet[(v >> 18) & 63];
        *p++ = kAlphabet[(v >> 12) & 63];
        *p++ = nLeft > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        *p++ = nLeft > 2 ? kAlphabet[v & 63] : '=';
    }
    *p = '\0';
    return 0;
}

int b64_Decode(const char* pszIn, uint8_t* pOut, uint32_t* pcbOut)
{
    if (pcbOut != NULL)
        *pcbOut = 0;
    size_t cch = strlen(pszIn);
    if (!IsCanonical(pszIn, cch)) {
        pOut[0] = 0;
        return -1;
    }

    uint32_t cbOut = 0;
    for (size_t i = 0; i < cch; i += 4) {
        const char* pGroup = pszIn + i;
        int nBytes = GroupLength(pGroup, i + 4 == cch);
        uint32_t v = 0;
        for (int k = 0; k < 4; ++k)
            v = (v << 6) | (uint32_t)(SextetOf(pGroup[k]) & 63);
        pOut[cbOut++] = (uint8_t)(v >> 16);
        if (nBytes > 1)
            pOut[cbOut++] = (uint8_t)(v >> 8);
        if (nBytes > 2)
            pOut[cbOut++] = (uint8_t)v;
    }
    pOut[cbOut] = 0;
    if (pcbOut != NULL)
        *pcbOut = cbOut;
    return 0;
}
