// Base64 with the RFC 4648 alphabet and "=" padding, no line breaks. Pure
// code: no Windows headers, so that it also builds and is tested with the
// host compiler.
#pragma once

#include <stdint.h>

// Writes 4 * ceil(cbIn / 3) characters and a NUL; a length of 0 or less
// writes only the NUL. Always returns 0.
int b64_Encode(const uint8_t* pIn, char* pszOut, int32_t cbIn);

// Decodes a whole NUL-terminated text. The output gets the bytes and a NUL
// after them, so it must hold 3 * strlen(pszIn) / 4 + 1 bytes. Returns 0, or
// -1 for text that is not canonical Base64 groups: a length that is not a
// multiple of 4, a character outside the alphabet, "=" anywhere but at the
// end of the last group. On failure the output holds an empty text and
// *pcbOut (when given) is 0.
int b64_Decode(const char* pszIn, uint8_t* pOut, uint32_t* pcbOut);
