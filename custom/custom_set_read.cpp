// Reads the customisation-set version from the verified pair beside the
// running program, and tells why there is none.
#include "custom_set.h"
#include "file_util.h"
#include "path_util.h"
#include "vrf.h"

#include <string.h>

static int PairPaths(char* pszIni, char* pszVrf)
{
    char szDir[UTL_PATH_BUF];
    return getCurRunPath(szDir, sizeof szDir, 0) &&
           utl_JoinPath(pszIni, UTL_PATH_BUF, szDir, "KelvoCustomSet.ini") &&
           utl_JoinPath(pszVrf, UTL_PATH_BUF, szDir, "KelvoCustomSet.vrf");
}

int ReadCustomSetVersion(char szVersion[CUSSET_VERSION_LEN + 1])
{
    char szIni[UTL_PATH_BUF], szVrf[UTL_PATH_BUF];
    if (!PairPaths(szIni, szVrf))
        return CUSSET_NO_PATH;
    if (!utl_FileExists(szIni))
        return CUSSET_NO_INI;
    if (!utl_FileExists(szVrf))
        return CUSSET_NO_VRF;
    if (!IniVerify(szIni, szVrf))
        return CUSSET_NOT_VERIFIED;

    // Room for one character more than a version has: the profile call cuts
    // a longer text to the buffer, and its first 11 characters must not pass
    // for a version.
    char szRead[CUSSET_VERSION_LEN + 2] = {};
    DWORD cch = GetPrivateProfileStringA("Common", "Version", "", szRead, sizeof szRead, szIni);
    if (cch != CUSSET_VERSION_LEN)
        return CUSSET_BAD_LENGTH;
    if (strchr(szRead, '-') == NULL)
        return CUSSET_NO_DASH;
    memcpy(szVersion, szRead, CUSSET_VERSION_LEN + 1);
    return CUSSET_OK;
}
