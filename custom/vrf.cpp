// Verified INI pairs: the digest that writers and verifiers compute alike,
// the writers, the verifiers, the icon block a custom icon lends, the
// customisation options, and the texts of the writers' error numbers.
//
// Each kind of pair assembles its digest input in a fixed work area of its
// own: no heap, and the size limits keep the input (at most 8122 bytes)
// inside the area.
#include "vrf.h"
#include "cus_platform.h"
#include "md5.h"
#include "vrf_salt.h"

#include <string.h>

// One kind of pair as the digest sees it.
struct VrfKind {
    const char* pszIniName; // file names inside a directory, or NULL
    const char* pszVrfName;
    uint32_t dwMaxIniSize;
    int bIconBlock;
    uint8_t* pWorkArea; // kWorkAreaSize bytes
};

static const size_t kWorkAreaSize = 8192;

// An icon file lends the bytes here, inside the image data of any real icon.
static const uint32_t kIconBlockOffset = 512;

static_assert(VRF_MAX_INI_SIZE + VRF_NONCE_SIZE + VRF_ICON_BLOCK_SIZE + VRF_SALT_SIZE <=
                  kWorkAreaSize,
              "the customisation digest input fits its work area");
static_assert(VRF_MAX_GENERIC_INI_SIZE + VRF_NONCE_SIZE + VRF_SALT_SIZE <= kWorkAreaSize,
              "the generic digest input fits its work area");
static_assert(kIconBlockOffset + VRF_ICON_BLOCK_SIZE == VRF_ICON_MIN_SIZE,
              "the smallest icon file holds the icon block");

static uint8_t s_abCustomArea[kWorkAreaSize];
static uint8_t s_abUninstallArea[kWorkAreaSize];
static uint8_t s_abGenericWriteArea[kWorkAreaSize];
static uint8_t s_abGenericVerifyArea[kWorkAreaSize];

static const VrfKind kCustomKind = {"KelvoCustom.ini", "KelvoCustom.vrf", VRF_MAX_INI_SIZE, 1,
                                    s_abCustomArea};
static const VrfKind kUninstallKind = {"KelvoUninstallInfo.ini", "KelvoUninstallInfo.vrf",
                                       VRF_MAX_INI_SIZE, 1, s_abUninstallArea};
static const VrfKind kGenericWriteKind = {NULL, NULL, VRF_MAX_GENERIC_INI_SIZE, 0,
                                          s_abGenericWriteArea};
static const VrfKind kGenericVerifyKind = {NULL, NULL, VRF_MAX_GENERIC_INI_SIZE, 0,
                                           s_abGenericVerifyArea};

static uint32_t s_nWrites = 0;

// dir\iniName and dir\vrfName; with pszDir NULL (writers only) the "custom"
// directory beside the program. 0 when a path does not fit.
static int PairPaths(const VrfKind* pKind, const char* pszDir, char* pszIni, char* pszVrf)
{
    char szDir[CUS_PATH_BUF];
    if (pszDir == NULL) {
        char szRun[CUS_PATH_BUF];
        if (!cus_ProgramDir(szRun, sizeof szRun) ||
            !cus_JoinPath(szDir, sizeof szDir, szRun, "custom"))
            return 0;
        pszDir = szDir;
    }
    return cus_JoinPath(pszIni, CUS_PATH_BUF, pszDir, pKind->pszIniName) &&
           cus_JoinPath(pszVrf, CUS_PATH_BUF, pszDir, pKind->pszVrfName);
}

// The INI file's size when it is obtainable and within the kind's limit:
// 0, or VRF_ERR_INI_SIZE / VRF_ERR_INI_LARGE.
static int IniSize(const VrfKind* pKind, const char* pszIni, uint32_t* pcbIni)
{
    uint64_t cb = 0;
    if (!cus_FileSize(pszIni, &cb))
        return VRF_ERR_INI_SIZE;
    if (cb > pKind->dwMaxIniSize)
        return VRF_ERR_INI_LARGE;
    *pcbIni = (uint32_t)cb;
    return 0;
}

// The icon block every writer digests: 0xFF and 31 zero bytes.
static void DefaultIconBlock(uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    memset(abIcon, 0, VRF_ICON_BLOCK_SIZE);
    abIcon[0] = 0xFF;
}

// SplitMix64: small, and every seed gives a well-spread sequence.
static uint64_t NextRandom(uint64_t* pState)
{
    uint64_t z = (*pState += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// The 240 random bytes at the head of a verification file, each 0 to 254.
// They only make each written file differ; verification reads them back and
// does not care how they were drawn. The generator is seeded at each write
// from the current time at the clock's full resolution, mixed with the
// performance counter, the process id and a count of writes, so that two
// writes in the same second, or in different processes, still differ.
static void MakeNonce(uint8_t abNonce[VRF_NONCE_SIZE])
{
    uint64_t qwState = cus_Seed() ^ (uint64_t)++s_nWrites;
    for (int i = 0; i < VRF_NONCE_SIZE; ++i)
        abNonce[i] = (uint8_t)(NextRandom(&qwState) % 255); // never 0xFF
}

// The digest of the pair: the INI file's cbIni bytes, the nonce block, the
// icon block when the kind has one, the pair salt. 0, or VRF_ERR_SALT /
// VRF_ERR_INI_OPEN. The INI file is read in one read; a file that changed
// size since it was measured reads short and is refused like one that
// cannot be opened.
static int Digest(const VrfKind* pKind, const char* pszIni, uint32_t cbIni,
                  const uint8_t abNonce[VRF_NONCE_SIZE], const uint8_t abIcon[VRF_ICON_BLOCK_SIZE],
                  uint8_t abDigest[16])
{
    uint8_t abSalt[VRF_SALT_CAPACITY];
    if (!BuildPairSalt(abSalt))
        return VRF_ERR_SALT;
    uint8_t* p = pKind->pWorkArea;
    if (!cus_ReadFileAt(pszIni, 0, p, cbIni))
        return VRF_ERR_INI_OPEN;
    p += cbIni;
    memcpy(p, abNonce, VRF_NONCE_SIZE);
    p += VRF_NONCE_SIZE;
    if (pKind->bIconBlock) {
        memcpy(p, abIcon, VRF_ICON_BLOCK_SIZE);
        p += VRF_ICON_BLOCK_SIZE;
    }
    memcpy(p, abSalt, VRF_SALT_SIZE);
    p += VRF_SALT_SIZE;
    md5_digest(abDigest, pKind->pWorkArea, (size_t)(p - pKind->pWorkArea));
    return 0;
}

int ReadIconBlock(const char* pszIconPath, uint8_t abOut[VRF_ICON_BLOCK_SIZE])
{
    uint64_t cb = 0;
    if (!cus_FileSize(pszIconPath, &cb) || cb > 0xFFFFFFFFull || cb < VRF_ICON_MIN_SIZE)
        return 0;
    uint8_t abBlock[VRF_ICON_BLOCK_SIZE];
    if (!cus_ReadFileAt(pszIconPath, kIconBlockOffset, abBlock, sizeof abBlock))
        return 0;
    memcpy(abOut, abBlock, sizeof abBlock);
    return 1;
}

// Every failure, from a missing file to a digest mismatch, is a plain 0:
// callers decide what an unverified pair means to them.
static int VerifyPair(const VrfKind* pKind, const char* pszIni, const char* pszVrf,
                      const uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    uint8_t abRecord[VRF_FILE_SIZE];
    uint64_t cbVrf = 0;
    if (!cus_FileSize(pszVrf, &cbVrf) || cbVrf != VRF_FILE_SIZE ||
        !cus_ReadFileAt(pszVrf, 0, abRecord, VRF_FILE_SIZE))
        return 0;
    uint32_t cbIni = 0;
    if (IniSize(pKind, pszIni, &cbIni) != 0)
        return 0;
    uint8_t abDigest[16];
    if (Digest(pKind, pszIni, cbIni, abRecord, abIcon, abDigest) != 0)
        return 0;
    return memcmp(abDigest, abRecord + VRF_NONCE_SIZE, sizeof abDigest) == 0 ? 1 : 0;
}

// "CusIconName", read through a 128-byte buffer: at most 127 characters, the
// rest of the field zero; a missing or empty name leaves it as it was.
static void ReadIconName(const char* pszIni, char szName[VRF_ICON_NAME_BUF])
{
    char szValue[128] = {};
    if (cus_IniString(pszIni, "LogoOptions", "CusIconName", szValue, sizeof szValue) != 0)
        strncpy(szName, szValue, VRF_ICON_NAME_BUF);
}

// With the icon option on and a custom icon configured, the icon file's
// bytes stand in for the fixed block; a missing or small icon file does not.
static void IconBlockFor(const char* pszDir, const char* pszIni, int bIncludeIcon,
                         uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    DefaultIconBlock(abIcon);
    if (!bIncludeIcon || cus_IniInt(pszIni, "LogoOptions", "CustomIcon", 0) == 0)
        return;
    char szName[VRF_ICON_NAME_BUF] = "";
    ReadIconName(pszIni, szName);
    char szIcon[CUS_PATH_BUF];
    if (szName[0] != '\0' && cus_JoinPath(szIcon, sizeof szIcon, pszDir, szName))
        ReadIconBlock(szIcon, abIcon);
}

static int VerifyKindInDir(const VrfKind* pKind, const char* pszDir, int bIncludeIcon)
{
    char szIni[CUS_PATH_BUF], szVrf[CUS_PATH_BUF];
    if (pszDir == NULL || !PairPaths(pKind, pszDir, szIni, szVrf))
        return 0;
    uint8_t abIcon[VRF_ICON_BLOCK_SIZE];
    IconBlockFor(pszDir, szIni, bIncludeIcon, abIcon);
    return VerifyPair(pKind, szIni, szVrf, abIcon);
}

int CusPairPaths(const char* pszDir, char* pszIni, char* pszVrf)
{
    return pszDir != NULL && PairPaths(&kCustomKind, pszDir, pszIni, pszVrf);
}

int UninstallPairPaths(const char* pszDir, char* pszIni, char* pszVrf)
{
    return pszDir != NULL && PairPaths(&kUninstallKind, pszDir, pszIni, pszVrf);
}

int CusIniVerify(const char* pszDir, int bIncludeIcon)
{
    return VerifyKindInDir(&kCustomKind, pszDir, bIncludeIcon);
}

int UninstallIniVerify(const char* pszDir)
{
    return VerifyKindInDir(&kUninstallKind, pszDir, 0);
}

int IniVerify(const char* pszIniPath, const char* pszVrfPath)
{
    if (!cus_FileExists(pszVrfPath))
        return 0;
    return VerifyPair(&kGenericVerifyKind, pszIniPath, pszVrfPath, NULL);
}

// The old .vrf file is removed first (read-only or not) and the new one
// created in its place, so a write that fails part-way leaves a pair that
// does not verify, never a stale file that still does. 0, or the error
// number.
static int WritePair(const VrfKind* pKind, const char* pszIni, const char* pszVrf)
{
    uint32_t cbIni = 0;
    int nError = IniSize(pKind, pszIni, &cbIni);
    if (nError != 0)
        return nError;

    uint8_t abRecord[VRF_FILE_SIZE]; // the nonce block, then the digest
    uint8_t abIcon[VRF_ICON_BLOCK_SIZE];
    MakeNonce(abRecord);
    DefaultIconBlock(abIcon);
    nError = Digest(pKind, pszIni, cbIni, abRecord, abIcon, abRecord + VRF_NONCE_SIZE);
    if (nError != 0)
        return nError;

    return cus_WriteNewFile(pszVrf, abRecord, sizeof abRecord);
}

// A pair whose paths do not fit has no INI file that could be measured.
static int WriteKindInDir(const VrfKind* pKind, const char* pszDir)
{
    char szIni[CUS_PATH_BUF], szVrf[CUS_PATH_BUF];
    return PairPaths(pKind, pszDir, szIni, szVrf) ? WritePair(pKind, szIni, szVrf)
                                                  : VRF_ERR_INI_SIZE;
}

// The writers' result: nonzero when written, else the error number in
// *pnError.
static int WriteResult(int nError, int* pnError)
{
    if (nError != 0) {
        *pnError = nError;
        return 0;
    }
    return 1;
}

int CusVrfWrite(int* pnError, const char* pszDir)
{
    return WriteResult(WriteKindInDir(&kCustomKind, pszDir), pnError);
}

int UninstallVrfWrite(int* pnError, const char* pszDir)
{
    return WriteResult(WriteKindInDir(&kUninstallKind, pszDir), pnError);
}

int VrfWrite(const char* pszIniPath, const char* pszVrfPath, int* pnError)
{
    return WriteResult(WritePair(&kGenericWriteKind, pszIniPath, pszVrfPath), pnError);
}

// The options the installer honours, read from the INI file as it stands;
// the caller verifies the pair first when it must trust them.
int ReadCusOptions(const char* pszDir, CusOptions* pOut)
{
    char szIni[CUS_PATH_BUF];
    if (!cus_JoinPath(szIni, sizeof szIni, pszDir, "KelvoCustom.ini") || !cus_FileExists(szIni))
        return 0;
    pOut->customIcon = cus_IniInt(szIni, "LogoOptions", "CustomIcon", 0);
    pOut->silentInstall = cus_IniInt(szIni, "OtherOptions", "SilentInstall", 0);
    pOut->silentUpd = cus_IniInt(szIni, "OtherOptions", "SilentUpd", 0);
    ReadIconName(szIni, pOut->cusIconName);
    return 1;
}
