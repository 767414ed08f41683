// Base64 encoding: three bytes become four characters of six bits each,
// most significant bits first; a short last group is filled with "=".
#include "base64.h"

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
