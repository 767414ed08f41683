// A registry text of bounded length. The value is read into a local buffer
// first, so a value that does not fit, or holds no terminator, never
// reaches the caller's buffer.
#include "reg_ini.h"

#include <string.h>

int utl_ReadRegString(HKEY hRoot, const char* pszSubKey, const char* pszName, char* pszOut,
                      unsigned cchCapacity)
{
    if (pszOut == NULL)
        return 0;
    HKEY hKey = NULL;
    if (RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
        return 0;
    char szValue[MAX_PATH] = {};
    DWORD cbData = sizeof szValue;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE*)szValue, &cbData);
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
        return 0;
    size_t cch = strnlen(szValue, sizeof szValue);
    if (cch == sizeof szValue || cch > cchCapacity)
        return 0;
    memcpy(pszOut, szValue, cch + 1);
    return 1;
}
