// The stored text form of a password: DES-ECB with PKCS#5 padding under the
// fixed key "tobix592", written as Base64. Equal passwords give equal texts,
// which is what lets a typed password be checked against the stored text.
// Pure code: no Windows headers.
#pragma once

#include <stdint.h>

enum DesTextStatus {
    DES_TEXT_OK = 0,
    DES_TEXT_KEY_FAILED = 1,
    DES_TEXT_NO_ROOM = 2, // encryption: the capacity is too small
    DES_TEXT_CIPHER_FAILED = 3,
    DES_TEXT_NO_MEMORY = 4,  // also: decryption of an empty text
    DES_TEXT_BAD_BASE64 = 5, // encoding failed, or the text is not Base64
    DES_TEXT_BAD_CIPHER = 6, // decryption: too long for the capacity, not
                             // whole blocks, or not padded as we pad
};

// Writes the text and its NUL. The capacity must exceed 4 * floor(P / 3) + 4,
// P being the padded length: at least 13 for passwords of 0 to 7 bytes.
int utl_DesEncryptText(char* pszOut, uint32_t cbOut, const uint8_t* pIn, uint32_t cbIn);

// *pcbInOut is the capacity on entry and the plaintext length on success; at
// most that capacity is written and no terminator is added. Any failure
// leaves both outputs as they were.
int utl_DesDecryptText(uint8_t* pOut, uint32_t* pcbInOut, const char* pszIn);
