// Typed registry values and thin wrappers over the private-profile (INI)
// functions. The readers report failure by their result only.
#pragma once

#include <windows.h>

// A value of up to four bytes, whatever its type; a shorter value is read
// zero-extended, a longer one is refused. *pdwOut is set only on success.
int utl_ReadRegDword(HKEY hRoot, const char* pszSubKey, const char* pszName, DWORD* pdwOut);
// Creates the key when needed and writes a REG_DWORD.
int utl_WriteRegDword(HKEY hRoot, const char* pszSubKey, const char* pszName, DWORD dwValue);
// A text of at most cchCapacity characters (and at most 259); pszOut must
// hold cchCapacity + 1 bytes and is written only on success.
int utl_ReadRegString(HKEY hRoot, const char* pszSubKey, const char* pszName, char* pszOut,
                      unsigned cchCapacity);

// At most 127 characters of the key, copied into pszOut padded with zeros to
// cbOut (which must exceed 128). Returns the characters read; when the key
// is missing or empty, 0 and pszOut as it was.
unsigned utl_ReadIniString(const char* pszFile, const char* pszSection, const char* pszKey,
                           char* pszOut, unsigned cbOut);

BOOL utl_WriteIniString(const char* pszSection, const char* pszKey, const char* pszText,
                        const char* pszFile);
BOOL utl_WriteIniInt(const char* pszSection, const char* pszKey, int nValue, const char* pszFile);
BOOL utl_WriteSupportedConnTypes(const char* pszSection, int nValue, const char* pszFile);
// "ProtoComponents" then, only when that was written, "FuncComponents" in
// section "Components".
BOOL utl_WriteComponents(DWORD dwProtoComponents, DWORD dwFuncComponents, const char* pszFile);
