// The pair kinds, their work areas, and the digest that writers and
// verifiers compute alike.
#include "vrf_internal.h"
#include "file_util.h"
#include "md5.h"
#include "path_util.h"
#include "vrf_salt.h"

#include <string.h>

static uint8_t s_abCustomArea[VRF_WORK_AREA_SIZE];
static uint8_t s_abUninstallArea[VRF_WORK_AREA_SIZE];
static uint8_t s_abGenericWriteArea[VRF_WORK_AREA_SIZE];
static uint8_t s_abGenericVerifyArea[VRF_WORK_AREA_SIZE];

const VrfKind g_vrfCustomKind = {"KelvoCustom.ini", "KelvoCustom.vrf", VRF_MAX_INI_SIZE, 1,
                                 s_abCustomArea};
const VrfKind g_vrfUninstallKind = {"KelvoUninstallInfo.ini", "KelvoUninstallInfo.vrf",
                                    VRF_MAX_INI_SIZE, 1, s_abUninstallArea};
const VrfKind g_vrfGenericWriteKind = {NULL, NULL, VRF_MAX_GENERIC_INI_SIZE, 0,
                                       s_abGenericWriteArea};
const VrfKind g_vrfGenericVerifyKind = {NULL, NULL, VRF_MAX_GENERIC_INI_SIZE, 0,
                                        s_abGenericVerifyArea};

static_assert(VRF_MAX_INI_SIZE + VRF_NONCE_SIZE + VRF_ICON_BLOCK_SIZE + VRF_SALT_SIZE <=
                  VRF_WORK_AREA_SIZE,
              "the customisation digest input fits its work area");
static_assert(VRF_MAX_GENERIC_INI_SIZE + VRF_NONCE_SIZE + VRF_SALT_SIZE <= VRF_WORK_AREA_SIZE,
              "the generic digest input fits its work area");

int vrf_PairPaths(const VrfKind* pKind, const char* pszDir, char* pszIni, char* pszVrf)
{
    char szDir[UTL_PATH_BUF];
    if (pszDir == NULL) {
        char szRun[UTL_PATH_BUF];
        if (!getCurRunPath(szRun, sizeof szRun, 0) ||
            !utl_JoinPath(szDir, sizeof szDir, szRun, "custom"))
            return 0;
        pszDir = szDir;
    }
    return utl_JoinPath(pszIni, UTL_PATH_BUF, pszDir, pKind->pszIniName) &&
           utl_JoinPath(pszVrf, UTL_PATH_BUF, pszDir, pKind->pszVrfName);
}

int vrf_IniSize(const VrfKind* pKind, const char* pszIni, DWORD* pcbIni)
{
    DWORD dwHigh = 0, dwLow = 0;
    if (!utl_GetFileSize(pszIni, &dwHigh, &dwLow))
        return VRF_ERR_INI_SIZE;
    if (dwHigh != 0 || dwLow > pKind->dwMaxIniSize)
        return VRF_ERR_INI_LARGE;
    *pcbIni = dwLow;
    return 0;
}

void vrf_DefaultIconBlock(uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    memset(abIcon, 0, VRF_ICON_BLOCK_SIZE);
    abIcon[0] = 0xFF;
}

// The file is read in one read; a file that changed size since it was
// measured reads short and is refused like one that cannot be opened.
static int ReadIniBytes(const char* pszIni, DWORD cbIni, uint8_t* pOut)
{
    HANDLE hFile = utl_OpenFileForRead(pszIni);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    DWORD cbRead = 0;
    BOOL bRead = cbIni == 0 || ReadFile(hFile, pOut, cbIni, &cbRead, NULL);
    CloseHandle(hFile);
    return bRead && cbRead == cbIni;
}

int vrf_Digest(const VrfKind* pKind, const char* pszIni, DWORD cbIni,
               const uint8_t abNonce[VRF_NONCE_SIZE], const uint8_t abIcon[VRF_ICON_BLOCK_SIZE],
               uint8_t abDigest[16])
{
    uint8_t abSalt[VRF_SALT_CAPACITY];
    if (!BuildPairSalt(abSalt))
        return VRF_ERR_SALT;
    uint8_t* p = pKind->pWorkArea;
    if (!ReadIniBytes(pszIni, cbIni, p))
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
