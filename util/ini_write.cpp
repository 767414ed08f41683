// Writers of INI values; each returns the success flag of the profile call.
#include "reg_ini.h"

#include <stdio.h>

BOOL utl_WriteIniString(const char* pszSection, const char* pszKey, const char* pszText,
                        const char* pszFile)
{
    return WritePrivateProfileStringA(pszSection, pszKey, pszText, pszFile);
}

BOOL utl_WriteIniInt(const char* pszSection, const char* pszKey, int nValue, const char* pszFile)
{
    char szValue[32];
    snprintf(szValue, sizeof szValue, "%d", nValue);
    return WritePrivateProfileStringA(pszSection, pszKey, szValue, pszFile);
}

BOOL utl_WriteSupportedConnTypes(const char* pszSection, int nValue, const char* pszFile)
{
    return utl_WriteIniInt(pszSection, "SupportedConnTypes", nValue, pszFile);
}

BOOL utl_WriteComponents(DWORD dwProtoComponents, DWORD dwFuncComponents, const char* pszFile)
{
    char szValue[32];
    snprintf(szValue, sizeof szValue, "%u", (unsigned)dwProtoComponents);
    if (!WritePrivateProfileStringA("Components", "ProtoComponents", szValue, pszFile))
        return FALSE;
    snprintf(szValue, sizeof szValue, "%u", (unsigned)dwFuncComponents);
    return WritePrivateProfileStringA("Components", "FuncComponents", szValue, pszFile);
}
