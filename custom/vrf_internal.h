// What the writers and verifiers of verified INI pairs share.
#pragma once

#include "vrf.h"

// One kind of pair as the digest sees it. Each kind assembles its digest
// input in a fixed work area of its own: no heap, and the size limits keep
// the input (at most 8122 bytes) inside the area.
struct VrfKind {
    const char* pszIniName; // file names inside a directory, or NULL
    const char* pszVrfName;
    DWORD dwMaxIniSize;
    int bIconBlock;
    uint8_t* pWorkArea; // VRF_WORK_AREA_SIZE bytes
};

enum { VRF_WORK_AREA_SIZE = 8192 };

extern const VrfKind g_vrfCustomKind;
extern const VrfKind g_vrfUninstallKind;
extern const VrfKind g_vrfGenericWriteKind;
extern const VrfKind g_vrfGenericVerifyKind;

// dir\iniName and dir\vrfName; with pszDir NULL (writers only) the "custom"
// directory beside the program. 0 when a path does not fit.
int vrf_PairPaths(const VrfKind* pKind, const char* pszDir, char* pszIni, char* pszVrf);

// The INI file's size when it is obtainable and within the kind's limit:
// 0, or VRF_ERR_INI_SIZE / VRF_ERR_INI_LARGE.
int vrf_IniSize(const VrfKind* pKind, const char* pszIni, DWORD* pcbIni);

// The digest of the pair: the INI file's cbIni bytes, the nonce block, the
// icon block when the kind has one, the pair salt. 0, or VRF_ERR_SALT /
// VRF_ERR_INI_OPEN.
int vrf_Digest(const VrfKind* pKind, const char* pszIni, DWORD cbIni,
               const uint8_t abNonce[VRF_NONCE_SIZE], const uint8_t abIcon[VRF_ICON_BLOCK_SIZE],
               uint8_t abDigest[16]);

// The icon block every writer digests: 0xFF and 31 zero bytes.
void vrf_DefaultIconBlock(uint8_t abIcon[VRF_ICON_BLOCK_SIZE]);

// 240 fresh random bytes, each 0 to 254.
void vrf_MakeNonce(uint8_t abNonce[VRF_NONCE_SIZE]);
