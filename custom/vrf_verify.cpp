// Checks a pair against its verification file. Every failure, from a
// missing file to a digest mismatch, is a plain 0: callers decide what an
// unverified pair means to them.
#include "vrf_internal.h"
#include "file_util.h"
#include "reg_ini.h"

#include <string.h>

static int ReadVrfRecord(const char* pszVrf, uint8_t abRecord[VRF_FILE_SIZE])
{
    DWORD dwHigh = 0, dwLow = 0;
    if (!utl_GetFileSize(pszVrf, &dwHigh, &dwLow) || dwHigh != 0 || dwLow != VRF_FILE_SIZE)
        return 0;
    HANDLE hFile = utl_OpenFileForRead(pszVrf);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    DWORD cbRead = 0;
    BOOL bRead = ReadFile(hFile, abRecord, VRF_FILE_SIZE, &cbRead, NULL);
    CloseHandle(hFile);
    return bRead && cbRead == VRF_FILE_SIZE;
}

static int VerifyPair(const VrfKind* pKind, const char* pszIni, const char* pszVrf,
                      const uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    uint8_t abRecord[VRF_FILE_SIZE];
    if (!ReadVrfRecord(pszVrf, abRecord))
        return 0;
    DWORD cbIni = 0;
    if (vrf_IniSize(pKind, pszIni, &cbIni) != 0)
        return 0;
    uint8_t abDigest[16];
    if (vrf_Digest(pKind, pszIni, cbIni, abRecord, abIcon, abDigest) != 0)
        return 0;
    return memcmp(abDigest, abRecord + VRF_NONCE_SIZE, sizeof abDigest) == 0 ? 1 : 0;
}

// With the icon option on and a custom icon configured, the icon file's
// bytes stand in for the fixed block; a missing or small icon file does not.
static void IconBlockFor(const char* pszDir, const char* pszIni, int bIncludeIcon,
                         uint8_t abIcon[VRF_ICON_BLOCK_SIZE])
{
    vrf_DefaultIconBlock(abIcon);
    if (!bIncludeIcon || GetPrivateProfileIntA("LogoOptions", "CustomIcon", 0, pszIni) == 0)
        return;
    char szName[UTL_PATH_BUF] = "";
    utl_ReadIniString(pszIni, "LogoOptions", "CusIconName", szName, sizeof szName);
    char szIcon[UTL_PATH_BUF];
    if (szName[0] != '\0' && utl_JoinPath(szIcon, sizeof szIcon, pszDir, szName))
        ReadIconBlock(szIcon, abIcon);
}

int CusIniVerify(const char* pszDir, int bIncludeIcon)
{
    char szIni[UTL_PATH_BUF], szVrf[UTL_PATH_BUF];
    if (pszDir == NULL || !vrf_PairPaths(&g_vrfCustomKind, pszDir, szIni, szVrf))
        return 0;
    uint8_t abIcon[VRF_ICON_BLOCK_SIZE];
    IconBlockFor(pszDir, szIni, bIncludeIcon, abIcon);
    return VerifyPair(&g_vrfCustomKind, szIni, szVrf, abIcon);
}

int UninstallIniVerify(const char* pszDir)
{
    char szIni[UTL_PATH_BUF], szVrf[UTL_PATH_BUF];
    if (pszDir == NULL || !vrf_PairPaths(&g_vrfUninstallKind, pszDir, szIni, szVrf))
        return 0;
    uint8_t abIcon[VRF_ICON_BLOCK_SIZE];
    vrf_DefaultIconBlock(abIcon);
    return VerifyPair(&g_vrfUninstallKind, szIni, szVrf, abIcon);
}

int IniVerify(const char* pszIniPath, const char* pszVrfPath)
{
    if (!utl_FileExists(pszVrfPath))
        return 0;
    return VerifyPair(&g_vrfGenericVerifyKind, pszIniPath, pszVrfPath, NULL);
}
