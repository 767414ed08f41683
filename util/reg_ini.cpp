// Typed registry values and thin wrappers over the private-profile (INI)
// functions. Every registry reader reads into a local buffer first, so a
// value it refuses never reaches the caller's variable.
#include "reg_ini.h"

#include <stdio.h>
#include <string.h>

// The key is opened for reading only and closed again whatever the result.
static int QueryValue(HKEY hRoot, const char* pszSubKey, const char* pszName, void* pData,
                      DWORD* pcbData)
{
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE*)pData, pcbData);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

// Goes by the value's bytes and not by its type.
int utl_ReadRegDword(HKEY hRoot, const char* pszSubKey, const char* pszName, DWORD* pdwOut)
{
    if (pdwOut == NULL)
        return 0;
    DWORD dwValue = 0;
    DWORD cbData = sizeof dwValue;
    if (!QueryValue(hRoot, pszSubKey, pszName, &dwValue, &cbData))
        return 0;
    *pdwOut = dwValue;
    return 1;
}

int utl_WriteRegDword(HKEY hRoot, const char* pszSubKey, const char* pszName, DWORD dwValue)
{
    HKEY hKey = NULL;
    if (RegCreateKeyA(hRoot, pszSubKey, &hKey) != ERROR_SUCCESS || hKey == NULL)
        return 0;
    LONG lResult =
        RegSetValueExA(hKey, pszName, 0, REG_DWORD, (const BYTE*)&dwValue, sizeof dwValue);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS ? 1 : 0;
}

// A value that does not fit, or holds no terminator, is refused.
int utl_ReadRegString(HKEY hRoot, const char* pszSubKey, const char* pszName, char* pszOut,
                      unsigned cchCapacity)
{
    if (pszOut == NULL)
        return 0;
    char szValue[MAX_PATH] = {};
    DWORD cbData = sizeof szValue;
    if (!QueryValue(hRoot, pszSubKey, pszName, szValue, &cbData))
        return 0;
    size_t cch = strnlen(szValue, sizeof szValue);
    if (cch == sizeof szValue || cch > cchCapacity)
        return 0;
    memcpy(pszOut, szValue, cch + 1);
    return 1;
}

// The read goes through a 128-byte buffer, so at most 127 characters come
// back whatever the caller's buffer holds.
unsigned utl_ReadIniString(const char* pszFile, const char* pszSection, const char* pszKey,
                           char* pszOut, unsigned cbOut)
{
    if (pszFile == NULL || pszSection == NULL || pszKey == NULL || pszOut == NULL || cbOut <= 128)
        return 0;
    char szValue[128] = {};
    DWORD cch = GetPrivateProfileStringA(pszSection, pszKey, "", szValue, sizeof szValue, pszFile);
    if (cch != 0)
        strncpy(pszOut, szValue, cbOut); // pads the rest of pszOut with zeros
    return cch;
}

// The writers return the success flag of the profile call.
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
