// A stored password text back to the password bytes. The block layer
// refuses a padding count of 0 or above 8, which is what a wrong key or a
// damaged text gives, and never writes past the capacity.
#include "base64.h"
#include "des.h"
#include "des_text.h"

#include <stdlib.h>
#include <string.h>

int utl_DesDecryptText(uint8_t* pOut, uint32_t* pcbInOut, const char* pszIn)
{
    const DesContext* pCtx = des_FixedKeyContext();
    if (pCtx == NULL)
        return DES_TEXT_KEY_FAILED;

    size_t cch = strlen(pszIn);
    if (cch == 0)
        return DES_TEXT_NO_MEMORY;
    uint8_t* pCipher = (uint8_t*)malloc(cch + 1); // the decoder's bytes and NUL fit
    if (pCipher == NULL)
        return DES_TEXT_NO_MEMORY;

    int nStatus = DES_TEXT_OK;
    uint32_t cbCipher = 0;
    uint32_t cbCapacity = *pcbInOut;
    if (b64_Decode(pszIn, pCipher, &cbCipher) != 0) {
        nStatus = DES_TEXT_BAD_BASE64;
    } else if ((uint64_t)(cbCapacity & ~7u) + 8 < cbCipher) {
        nStatus = DES_TEXT_BAD_CIPHER;
    } else {
        int32_t cbPlain = des_DecryptEcb(pCipher, cbCipher, pOut, cbCapacity, pCtx);
        if (cbPlain < 0)
            nStatus = DES_TEXT_BAD_CIPHER;
        else
            *pcbInOut = (uint32_t)cbPlain;
    }
    free(pCipher);
    return nStatus;
}
