// Writes a fresh verification file for a pair. The old .vrf file is removed
// first (read-only or not) and the new one created in its place, so a write
// that fails part-way leaves a pair that does not verify, never a stale
// file that still does.
#include "vrf_internal.h"
#include "file_util.h"

static int WritePair(const VrfKind* pKind, const char* pszIni, const char* pszVrf)
{
    DWORD cbIni = 0;
    int nError = vrf_IniSize(pKind, pszIni, &cbIni);
    if (nError != 0)
        return nError;

    uint8_t abRecord[VRF_FILE_SIZE]; // the nonce block, then the digest
    uint8_t abIcon[VRF_ICON_BLOCK_SIZE];
    vrf_MakeNonce(abRecord);
    vrf_DefaultIconBlock(abIcon);
    nError = vrf_Digest(pKind, pszIni, cbIni, abRecord, abIcon, abRecord + VRF_NONCE_SIZE);
    if (nError != 0)
        return nError;

    utl_DeleteFile(pszVrf);
    HANDLE hFile = CreateFileA(pszVrf, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return VRF_ERR_CREATE;
    DWORD cbWritten = 0;
    BOOL bWritten = WriteFile(hFile, abRecord, sizeof abRecord, &cbWritten, NULL);
    CloseHandle(hFile);
    if (!bWritten || cbWritten != sizeof abRecord)
        return VRF_ERR_WRITE;
    return 0;
}

// A pair whose paths do not fit has no INI file that could be measured.
static int WriteKindInDir(const VrfKind* pKind, const char* pszDir, int* pnError)
{
    char szIni[UTL_PATH_BUF], szVrf[UTL_PATH_BUF];
    int nError = vrf_PairPaths(pKind, pszDir, szIni, szVrf) ? WritePair(pKind, szIni, szVrf)
                                                            : VRF_ERR_INI_SIZE;
    if (nError != 0) {
        *pnError = nError;
        return 0;
    }
    return 1;
}

int CusVrfWrite(int* pnError, const char* pszDir)
{
    return WriteKindInDir(&g_vrfCustomKind, pszDir, pnError);
}

int UninstallVrfWrite(int* pnError, const char* pszDir)
{
    return WriteKindInDir(&g_vrfUninstallKind, pszDir, pnError);
}

int VrfWrite(const char* pszIniPath, const char* pszVrfPath, int* pnError)
{
    int nError = WritePair(&g_vrfGenericWriteKind, pszIniPath, pszVrfPath);
    if (nError != 0) {
        *pnError = nError;
        return 0;
    }
    return 1;
}
