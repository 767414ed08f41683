// The salt of the verified INI pairs, built at run time from a fixed seed
// and alphabet so that it never stands whole in the program or in a file.
// Pure code: no Windows headers.
#pragma once

#include <stdint.h>

enum {
    VRF_SALT_SIZE = 30,     // what the fixed six-byte seed gives
    VRF_SALT_CAPACITY = 100 // the room the pair code offers the builder
};

// Five output bytes per seed byte. Refuses (0, nothing written) a null
// argument, a seed shorter than 6 or longer than 20 bytes, or a capacity
// (*pcbInOut on entry) below 5 * cbSeed; else sets *pcbInOut and returns 1.
int BuildVrfSalt(const uint8_t* pSeed, uint32_t cbSeed, uint8_t* pOut, uint32_t* pcbInOut);

// The pair salt every writer and verifier digests: BuildVrfSalt over the
// fixed seed. pOut must hold VRF_SALT_CAPACITY bytes; returns 0 on failure.
int BuildPairSalt(uint8_t pOut[VRF_SALT_CAPACITY]);
