// Reads a short INI text. The read goes through a 128-byte buffer, so at
// most 127 characters come back whatever the caller's buffer holds.
#include "reg_ini.h"

#include <string.h>

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
