// Password bytes to their stored text form. The output buffer is written
// only once everything else has succeeded.
#include "base64.h"
#include "des.h"
#include "des_text.h"

#include <stdlib.h>

int utl_DesEncryptText(char* pszOut, uint32_t cbOut, const uint8_t* pIn, uint32_t cbIn)
{
    const DesContext* pCtx = des_FixedKeyContext();
    if (pCtx == NULL)
        return DES_TEXT_KEY_FAILED;

    uint64_t cbPadded = (uint64_t)(cbIn & ~7u) + 8;
    if (4 * (cbPadded / 3) + 4 >= cbOut)
        return DES_TEXT_NO_ROOM;

    uint8_t* pCipher = (uint8_t*)malloc((size_t)cbPadded);
    if (pCipher == NULL)
        return DES_TEXT_NO_MEMORY;
    int nStatus = DES_TEXT_OK;
    int32_t cbCipher = des_EncryptEcb(pIn, cbIn, pCipher, (uint32_t)cbPadded, pCtx);
    if (cbCipher <= 0)
        nStatus = DES_TEXT_CIPHER_FAILED;
    else if (b64_Encode(pCipher, pszOut, cbCipher) != 0)
        nStatus = DES_TEXT_BAD_BASE64;
    free(pCipher);
    return nStatus;
}
