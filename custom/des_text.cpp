// The stored text form of a password: DES-ECB under the fixed key, then
// Base64. Encryption writes its output only once everything else has
// succeeded; on decryption the block layer refuses a padding count of 0 or
// above 8, which is what a wrong key or a damaged text gives, and never
// writes past the capacity.
#include "des_text.h"
#include "base64.h"
#include "des.h"

#include <stdlib.h>
#include <string.h>

static const uint8_t kFixedKey[8] = {'t', 'o', 'b', 'i', 'x', '5', '9', '2'};

// Built on first use and kept for the life of the process. The launcher
// calls the cipher from its one user-interface thread only, so the set-up
// is not guarded.
static DesContext s_fixedKeyContext;
static int s_bFixedKeyReady = 0;

static const DesContext* FixedKeyContext()
{
    if (!s_bFixedKeyReady) {
        if (des_SetKey(kFixedKey, &s_fixedKeyContext) != 0)
            return NULL;
        s_bFixedKeyReady = 1;
    }
    return &s_fixedKeyContext;
}

int utl_DesEncryptText(char* pszOut, uint32_t cbOut, const uint8_t* pIn, uint32_t cbIn)
{
    const DesContext* pCtx = FixedKeyContext();
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

int utl_DesDecryptText(uint8_t* pOut, uint32_t* pcbInOut, const char* pszIn)
{
    const DesContext* pCtx = FixedKeyContext();
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
