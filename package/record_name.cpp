// The unpacker runs elevated on a file anyone could have altered, so a record
// name must not climb out of the destination directory, name a drive, a
// stream or a device, or carry characters Windows would quietly change. A
// single inner backslash still addresses an existing subdirectory.
#include "package.h"

#include <string.h>

static int IsForbiddenByte(unsigned char c)
{
    return c < 0x20 || c == 0x7F || strchr("/:*?\"<>|", c) != NULL;
}

static int EqualsNoCase(const char* pszA, size_t cchA, const char* pszB)
{
    return cchA == strlen(pszB) && _strnicmp(pszA, pszB, cchA) == 0;
}

// COM1 to COM9 and LPT1 to LPT9, and as Windows also treats them, the same
// with the superscript digits one, two and three. Those are single bytes in
// some code pages (B9, B2, B3 in 1252) and missing from others (936 has
// none), so the name is read through the system code page.
static int IsNumberedDevice(const char* pszBase, size_t cchBase)
{
    WCHAR wsz[8];
    if (cchBase < 4 || cchBase > 8)
        return 0;
    int cch = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pszBase, (int)cchBase, wsz, 8);
    if (cch != 4 || (_wcsnicmp(wsz, L"COM", 3) != 0 && _wcsnicmp(wsz, L"LPT", 3) != 0))
        return 0;
    WCHAR c = wsz[3];
    return (c >= L'1' && c <= L'9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
}

// CON, NUL, COM1 ... are devices in every directory, extension or not.
static int IsDeviceName(const char* pszComp, size_t cchComp)
{
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    const char* pszDot = (const char*)memchr(pszComp, '.', cchComp);
    size_t cchBase = pszDot ? (size_t)(pszDot - pszComp) : cchComp;
    while (cchBase > 0 && pszComp[cchBase - 1] == ' ')
        --cchBase; // "CON .txt" is the console too
    for (const char* pszDev : kDevices) {
        if (EqualsNoCase(pszComp, cchBase, pszDev))
            return 1;
    }
    return IsNumberedDevice(pszComp, cchBase);
}

static int IsSafeComponent(const char* pszComp, size_t cchComp)
{
    if (cchComp == 0) // a leading, doubled or trailing backslash
        return 0;
    char cLast = pszComp[cchComp - 1];
    if (cLast == '.' || cLast == ' ') // also "." and ".."
        return 0;
    return !IsDeviceName(pszComp, cchComp);
}

int pkg_IsSafeRecordName(const char* pszName)
{
    const char* pszComp = pszName;
    const char* p = pszName;
    for (;;) {
        unsigned char c = (unsigned char)*p;
        if (c == '\0' || c == '\\') {
            if (!IsSafeComponent(pszComp, (size_t)(p - pszComp)))
                return 0;
            if (c == '\0')
                return 1;
            pszComp = ++p;
            continue;
        }
        // The trail byte of a double-byte character is never a separator or
        // a forbidden character; a lead byte without one is malformed.
        if (IsDBCSLeadByte(c)) {
            if (p[1] == '\0')
                return 0;
            p += 2;
            continue;
        }
        if (IsForbiddenByte(c))
            return 0;
        ++p;
    }
}
