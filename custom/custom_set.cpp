// Reads the customisation-set version from the verified pair beside the
// running program, tells why there is none, and keeps a well-formed version
// for the life of the process. Only a well-formed version is kept, and the
// display name with it, so the two never disagree and a pair that is fixed
// later is still read.
#include "custom_set.h"
#include "cus_platform.h"
#include "vrf.h"

#include <string.h>

static char s_szVersion[CUSSET_VERSION_LEN + 1];
static char s_szDisplayName[CUSSET_DISPLAY_NAME_LEN + 1];

static int PairPaths(char* pszIni, char* pszVrf)
{
    char szDir[CUS_PATH_BUF];
    return cus_ProgramDir(szDir, sizeof szDir) &&
           cus_JoinPath(pszIni, CUS_PATH_BUF, szDir, "KelvoCustomSet.ini") &&
           cus_JoinPath(pszVrf, CUS_PATH_BUF, szDir, "KelvoCustomSet.vrf");
}

int ReadCustomSetVersion(char szVersion[CUSSET_VERSION_LEN + 1])
{
    char szIni[CUS_PATH_BUF], szVrf[CUS_PATH_BUF];
    if (!PairPaths(szIni, szVrf))
        return CUSSET_ERR_NO_PATH;
    if (!cus_FileExists(szIni))
        return CUSSET_ERR_NO_INI;
    if (!cus_FileExists(szVrf))
        return CUSSET_ERR_NO_VRF;
    if (!IniVerify(szIni, szVrf))
        return CUSSET_ERR_NOT_VERIFIED;

    // Room for one character more than a version has: the profile call cuts
    // a longer text to the buffer, and its first 11 characters must not pass
    // for a version.
    char szRead[CUSSET_VERSION_LEN + 2] = {};
    unsigned cch = cus_IniString(szIni, "Common", "Version", szRead, sizeof szRead);
    if (cch != CUSSET_VERSION_LEN)
        return CUSSET_ERR_BAD_LENGTH;
    if (strchr(szRead, '-') == NULL)
        return CUSSET_ERR_NO_DASH;
    memcpy(szVersion, szRead, CUSSET_VERSION_LEN + 1);
    return CUSSET_OK;
}

const char* GetCustomSetVersion()
{
    if (s_szVersion[0] != '\0')
        return s_szVersion;
    char szVersion[CUSSET_VERSION_LEN + 1];
    if (ReadCustomSetVersion(szVersion) != CUSSET_OK)
        return NULL;
    FormatCustomSetDisplayName(szVersion, s_szDisplayName);
    memcpy(s_szVersion, szVersion, sizeof s_szVersion);
    return s_szVersion;
}

const char* GetCustomSetDisplayName()
{
    if (s_szVersion[0] == '\0')
        GetCustomSetVersion();
    return s_szDisplayName[0] != '\0' ? s_szDisplayName : NULL;
}
