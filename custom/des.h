// DES and triple DES (FIPS 46-3) with ECB and PKCS#5 padding. Pure code: no
// Windows headers, so that it also builds and is tested with the host
// compiler.
//
// A block's bytes 0-3 are the left half and bytes 4-7 the right half, each
// most significant byte first, which gives exactly the published results.
#pragma once

#include <stdint.h>

// The sixteen round subkeys of one key for one direction, two words a round:
// the first word holds the 6-bit groups of S-boxes 1, 3, 5, 7 and the second
// those of S-boxes 2, 4, 6, 8, one group in the low bits of each byte, from
// the most significant byte down.
typedef uint32_t DesSchedule[32];

struct DesContext {
    DesSchedule enc;
    DesSchedule dec; // the same subkeys in reverse round order
};

// Encryption is E(K1) D(K2) E(K3); decryption D(K3) E(K2) D(K1).
struct Des3Context {
    DesSchedule enc[3];
    DesSchedule dec[3];
};

// Both build the schedules of both directions once; they cannot fail and
// return 0.
int des_SetKey(const uint8_t abKey[8], DesContext* pCtx);
int des3_SetKey(const uint8_t abKey[24], Des3Context* pCtx);

// One 8-byte block; input and output may be the same buffer.
void des_EncryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8]);
void des_DecryptBlock(const DesContext* pCtx, const uint8_t abIn[8], uint8_t abOut[8]);
void des3_EncryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8]);
void des3_DecryptBlock(const Des3Context* pCtx, const uint8_t abIn[8], uint8_t abOut[8]);

// ECB with PKCS#5 padding. Encryption returns the padded length
// (n rounded down to a multiple of 8, plus 8), or -1 when it exceeds the
// output capacity; nothing is written then.
int32_t des_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx);
int32_t des3_EncryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx);

// Decryption returns the plaintext length, or -1 when n is 0 or not a
// multiple of 8, when the ciphertext is too long for the capacity, or when
// the last plaintext byte is not a padding count of 1 to 8 (a wrong key or
// damaged data). Only the plaintext is written, never more than cbOut
// bytes, and nothing at all on failure.
int32_t des_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                       const DesContext* pCtx);
int32_t des3_DecryptEcb(const uint8_t* pIn, uint32_t n, uint8_t* pOut, uint32_t cbOut,
                        const Des3Context* pCtx);
