// Base64 decoding. The whole text is checked before the first byte is
// written, so a refused text leaves nothing behind but an empty result.
#include "base64.h"

#include <string.h>

namespace
{

const int kPad = 64;
const int kInvalid = -1;

int SextetOf(char ch)
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
int GroupLength(const char* pGroup, bool bLastGroup)
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

} // namespace

int b64_Decode(const char* pszIn, uint8_t* pOut, uint32_t* pcbOut)
{
    if (pcbOut != NULL)
        *pcbOut = 0;
    size_t cch = strlen(pszIn);
    if (cch % 4 != 0) {
        pOut[0] = 0;
        return -1;
    }
    for (size_t i = 0; i < cch; i += 4) {
        if (GroupLength(pszIn + i, i + 4 == cch) < 0) {
            pOut[0] = 0;
            return -1;
        }
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
