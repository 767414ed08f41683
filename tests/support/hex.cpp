// Hex text of bytes and back, for test data that must not depend on the
// code page. Pure code: the native test build uses it too.
#include "hex.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

std::string ToHex(const std::string& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

bool FromHex(const char* pszHex, std::string* pBytes)
{
    pBytes->clear();
    size_t cch = strlen(pszHex);
    if (cch % 2)
        return false;
    for (size_t i = 0; i < cch; i += 2) {
        char sz[3] = {pszHex[i], pszHex[i + 1], 0};
        char* pEnd;
        unsigned long v = strtoul(sz, &pEnd, 16);
        if (*pEnd || !isxdigit((unsigned char)sz[0]))
            return false;
        *pBytes += (char)v;
    }
    return true;
}
