// libFuzzer target: utl_DesDecryptText over any text and capacity. The
// first byte picks the capacity; with its high bit set the rest is taken as
// ciphertext and Base64-encoded first, so that the fuzzer reaches the block
// layer and its padding check instead of stopping at the decoder (every
// seed gets that far). The output has exactly the capacity, so
// AddressSanitizer sees any overrun.
#include "base64.h"
#include "des_text.h"
#include "fuzz_memory.h"

#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    if (cb == 0)
        return 0;
    uint32_t cbCapacity = pData[0] & 0x3f;
    bool bEncodeFirst = (pData[0] & 0x80) != 0;
    ++pData;
    --cb;

    char* pszText;
    if (bEncodeFirst) {
        pszText = (char*)malloc(4 * (cb / 3 + 1) + 1);
        b64_Encode(pData, pszText, (int32_t)cb);
    } else {
        pszText = (char*)malloc(cb + 1);
        memcpy(pszText, pData, cb);
        pszText[cb] = '\0';
    }

    uint8_t* pOut = (uint8_t*)malloc(cbCapacity ? cbCapacity : 1);
    uint32_t cbInOut = cbCapacity;
    int nStatus = utl_DesDecryptText(pOut, &cbInOut, pszText);
    SeedGotPastHeader(nStatus != DES_TEXT_BAD_BASE64);
    if (nStatus == 0 ? cbInOut > cbCapacity : cbInOut != cbCapacity)
        abort();
    if (nStatus == 0) {
        // What was accepted goes through a round trip of its own unchanged.
        size_t cbText = 4 * (cbInOut / 3 + 8) + 8;
        char* pszAgain = (char*)malloc(cbText);
        uint8_t* pBack = (uint8_t*)malloc(cbCapacity ? cbCapacity : 1);
        uint32_t cbBack = cbCapacity;
        if (utl_DesEncryptText(pszAgain, (uint32_t)cbText, pOut, cbInOut) != 0 ||
            utl_DesDecryptText(pBack, &cbBack, pszAgain) != 0 || cbBack != cbInOut ||
            memcmp(pBack, pOut, cbBack) != 0)
            abort();
        free(pBack);
        free(pszAgain);
    }
    free(pOut);
    free(pszText);
    return 0;
}
