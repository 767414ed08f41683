// Changes one value of the customisation INI file and seals the pair again
// with a fresh verification file.
#include "cus_ini_value.h"
#include "file_util.h"
#include "vrf.h"

#include <stdio.h>
#include <string.h>

enum { CURRENT_VALUE_BUF = 128 }; // at most 127 characters come back

// True only when the key is known to hold exactly pszValue. A text that
// filled the buffer may go on beyond it, so it never counts as equal: a
// longer value must not pass for its first 127 characters.
static bool HasValue(const char* pszIni, const char* pszSection, const char* pszKey,
                     const char* pszValue)
{
    char szCurrent[CURRENT_VALUE_BUF] = {};
    DWORD cch =
        GetPrivateProfileStringA(pszSection, pszKey, "", szCurrent, sizeof szCurrent, pszIni);
    return cch < CURRENT_VALUE_BUF - 1 && strcmp(szCurrent, pszValue) == 0;
}

// The file that could not be written is set aside under its name with
// ".lzj" appended; when that name is taken, it stays where it is.
static void MoveAside(const char* pszIni)
{
    char szAside[UTL_PATH_BUF + 4];
    snprintf(szAside, sizeof szAside, "%s.lzj", pszIni);
    MoveFileA(pszIni, szAside);
}

int SetCusIniValue(const char* pszDir, const char* pszSection, const char* pszKey,
                   const char* pszValue)
{
    char szIni[UTL_PATH_BUF];
    if (pszDir == NULL || !utl_JoinPath(szIni, sizeof szIni, pszDir, "KelvoCustom.ini") ||
        !utl_FileExists(szIni))
        return CUSINI_ERR_NO_INI;
    // The profile functions read a NULL key as "the whole section" and a NULL
    // value as "delete the key": never what a caller setting one value means.
    if (pszSection == NULL || pszKey == NULL || pszValue == NULL)
        return CUSINI_ERR_NULL_ARG;

    if (HasValue(szIni, pszSection, pszKey, pszValue))
        return CUSINI_OK;
    if (!CusIniVerify(pszDir, 0))
        return CUSINI_ERR_NOT_VERIFIED;
    if (!WritePrivateProfileStringA(pszSection, pszKey, pszValue, szIni)) {
        MoveAside(szIni);
        return CUSINI_ERR_INI_WRITE;
    }
    int nError = 0;
    if (!CusVrfWrite(&nError, pszDir))
        return nError != 0 ? nError : CUSINI_ERR_VRF_WRITE;
    return CUSINI_OK;
}
