// 32-bit registry values. The reader goes by the value's bytes and not by
// its type; it reads into a local first, so a refused value leaves the
// caller's variable as it was.
#include "reg_ini.h"

int utl_ReadRegDword(HKEY hRoot, const char* pszSubKey, const char* pszName, DWORD* pdwOut)
{
    if (pdwOut == NULL)
        return 0;
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD dwValue = 0;
    DWORD cbData = sizeof dwValue;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE*)&dwValue, &cbData);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
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
