// libFuzzer target: b64_Decode over any text, into an output of exactly the
// documented size (3 * length / 4 + 1), so that AddressSanitizer sees every
// byte written past it or read past the text.
#include "base64.h"

#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    char* pszText = (char*)malloc(cb + 1);
    memcpy(pszText, pData, cb);
    pszText[cb] = '\0';
    size_t cch = strlen(pszText);
    uint8_t* pOut = (uint8_t*)malloc(3 * cch / 4 + 1);
    uint32_t cbOut = 0;
    if (b64_Decode(pszText, pOut, &cbOut) == 0) {
        if (cbOut > 3 * cch / 4 || pOut[cbOut] != 0)
            abort();
        // What decodes must encode back to the same text.
        char* pszAgain = (char*)malloc(cch + 1);
        b64_Encode(pOut, pszAgain, (int32_t)cbOut);
        if (strlen(pszAgain) != cch)
            abort();
        free(pszAgain);
    }
    free(pOut);
    free(pszText);
    return 0;
}
