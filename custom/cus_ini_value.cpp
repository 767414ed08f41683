// Changes one value of the customisation INI file and seals the pair again
// with a fresh verification file.
#include "cus_ini_value.h"
#include "cus_platform.h"
#include "vrf.h"

#include <stdio.h>
#include <string.h>

static const unsigned kCurrentValueBuf = 128; // at most 127 characters come back

// True only when the key is known to hold exactly pszValue. A text that
// filled the buffer may go on beyond it, so it never counts as equal: a
// longer value must not pass for its first 127 characters.
static bool HasValue(const char* pszIni, const char* pszSection, const char* pszKey,
                     const char* pszValue)
{
    char szCurrent[kCurrentValueBuf] = {};
    unsigned cch = cus_IniString(pszIni, pszSection, pszKey, szCurrent, sizeof szCurrent);
    return cch < kCurrentValueBuf - 1 && strcmp(szCurrent, pszValue) == 0;
}

// The file that could not be written is set aside under its name with
// ".lzj" appended; when that name is taken, it stays where it is.
static void MoveAside(const char* pszIni)
{
    char szAside[CUS_PATH_BUF + 4];
    snprintf(szAside, sizeof szAside, "%s.lzj", pszIni);
    cus_MoveFile(pszIni, szAside);
}

int SetCusIniValue(const char* pszDir, const char* pszSection, const char* pszKey,
                   const char* pszValue)
{
    char szIni[CUS_PATH_BUF];
    if (pszDir == NULL || !cus_JoinPath(szIni, sizeof szIni, pszDir, "KelvoCustom.ini") ||
        !cus_FileExists(szIni))
        return CUSINI_ERR_NO_INI;
    // The profile functions read a NULL key as "the whole section" and a NULL
    // value as "delete the key": never what a caller setting one value means.
    // An empty section or key is no better: the line lands above the first
    // section, or as "=value", and a fresh .vrf would seal the damage.
    if (pszSection == NULL || pszKey == NULL || pszValue == NULL || *pszSection == '\0' ||
        *pszKey == '\0')
        return CUSINI_ERR_NULL_ARG;

    if (HasValue(szIni, pszSection, pszKey, pszValue))
        return CUSINI_OK;
    if (!CusIniVerify(pszDir, 0))
        return CUSINI_ERR_NOT_VERIFIED;
    if (!cus_SetIniString(szIni, pszSection, pszKey, pszValue)) {
        MoveAside(szIni);
        return CUSINI_ERR_INI_WRITE;
    }
    int nError = 0;
    if (!CusVrfWrite(&nError, pszDir))
        return nError != 0 ? nError : CUSINI_ERR_VRF_WRITE;
    return CUSINI_OK;
}
