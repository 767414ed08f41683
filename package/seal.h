// The seal of a setup: a 64-byte block at the end of the fill between the
// launcher image and the package (bytes 307136 to 307199), which no reader
// of the package reads. `setuptool build` writes it: the package's stored
// length and the XXH3-64 digest of its stored bytes, so that a launcher can
// tell a damaged or cut download before it starts anything it extracted.
// A setup built before the seal has zero bytes there. Signing appends the
// certificate table behind the package; the sealed length still tells where
// the package ends. Portable: no Windows headers.
#pragma once

#include "package_format.h"

enum {
    PKG_SEAL_SIZE = 64,
    PKG_SEAL_AT = PKG_OFFSET - PKG_SEAL_SIZE, // a launcher image must end here
    // Version 1, which development builds wrote with a 32-bit XXH32 digest
    // before any setup shipped, is not read: its setups are refused.
    PKG_SEAL_VERSION = 2,
};

struct PkgSeal {
    uint32_t cbPackage; // the package's stored length, from offset 307200
    uint64_t ullDigest; // XXH3-64 of those bytes as stored (scrambled)
};

// The block: the magic "KELVSEAL", the version (32 bits), 4 zero bytes, the
// length (64 bits), the digest (64 bits), 24 zero bytes, and the XXH3-64 of
// the 56 bytes before it, all little-endian.
void pkg_MakeSeal(const PkgSeal* pSeal, uint8_t abBlock[PKG_SEAL_SIZE]);
// A digest as the logs and the tools show it: 16 hexadecimal digits.
void pkg_DigestText(uint64_t ullDigest, char szOut[17]);

enum PkgSealBlock {
    PKG_SEAL_BLOCK_ZERO,       // all zero: a setup built before the seal
    PKG_SEAL_BLOCK_READ,       // *pSeal holds it
    PKG_SEAL_BLOCK_UNREADABLE, // anything else: a damaged block, or a version not known
};
PkgSealBlock pkg_ReadSeal(const uint8_t abBlock[PKG_SEAL_SIZE], PkgSeal* pSeal);

// What a walk of a setup's package found of its seal.
enum PkgSealState {
    PKG_SEAL_NOT_READ,     // no package at 307200, or the walk never got to it
    PKG_SEAL_NONE,         // the fill holds no seal
    PKG_SEAL_MATCHES,      // the package is the one sealed
    PKG_SEAL_MISMATCH,     // its digest is another
    PKG_SEAL_WRONG_LENGTH, // it ends before its sealed length, or goes on behind it
    PKG_SEAL_UNREADABLE,   // the block is damaged
    PKG_SEAL_UNFINISHED,   // the walk was stopped before the package was read
};

struct PkgSealCheck {
    PkgSealState eState;
    PkgSeal sealed;     // as the block says (MATCHES, MISMATCH, WRONG_LENGTH)
    uint64_t cbPackage; // the package's length as the walk found it
    uint64_t ullFound;  // the digest of the package read (MATCHES, MISMATCH)
};

// A damaged setup: one whose seal does not match it, or cannot be read.
int pkg_SealSaysDamaged(const PkgSealCheck* pCheck);
