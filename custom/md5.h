// MD5 message digest (RFC 1321). Pure code: no Windows headers, so that it
// also builds and is tested with the host compiler.
#pragma once

#include <stddef.h>
#include <stdint.h>

enum { MD5_DIGEST_SIZE = 16 };

struct Md5Context {
    uint32_t state[4]; // chaining words A, B, C, D
    uint32_t count[2]; // message length in bits, low word first
    uint8_t buffer[64];
};

void md5_Init(Md5Context* pCtx);
void md5_Update(Md5Context* pCtx, const void* pData, size_t cb);
void md5_Final(uint8_t abOut[MD5_DIGEST_SIZE], Md5Context* pCtx);

// One-shot digest of a whole buffer; the context lives on the stack and is
// wiped before returning.
void md5_digest(uint8_t abOut[MD5_DIGEST_SIZE], const void* pData, size_t cb);

// RFC 1994 CHAP response: MD5 of the identifier, the secret and the challenge.
void ChapMd5Response(uint8_t abOut[MD5_DIGEST_SIZE], const uint8_t abChallenge[16],
                     const char* pszSecret, uint8_t bIdentifier);
