// The customisation options the installer honours, read from the
// customisation INI file as it stands; the caller verifies the pair first
// when it must trust them.
#include "vrf.h"
#include "file_util.h"
#include "reg_ini.h"

int ReadCusOptions(const char* pszDir, CusOptions* pOut)
{
    char szIni[UTL_PATH_BUF];
    if (!utl_JoinPath(szIni, sizeof szIni, pszDir, "KelvoCustom.ini") || !utl_FileExists(szIni))
        return 0;
    pOut->customIcon = (int)GetPrivateProfileIntA("LogoOptions", "CustomIcon", 0, szIni);
    pOut->silentInstall = (int)GetPrivateProfileIntA("OtherOptions", "SilentInstall", 0, szIni);
    pOut->silentUpd = (int)GetPrivateProfileIntA("OtherOptions", "SilentUpd", 0, szIni);
    utl_ReadIniString(szIni, "LogoOptions", "CusIconName", pOut->cusIconName,
                      sizeof pOut->cusIconName);
    return 1;
}
