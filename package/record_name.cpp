// The unpacker runs elevated on a file anyone could have altered, so a record
// name must not climb out of the destination directory, name a drive, a
// stream or a device, or carry characters Windows would quietly change. A
// single inner backslash still addresses an existing subdirectory. Names are
// bytes of the unpacking PC's code page, which the caller describes.
#include "package_format.h"

#include <string.h>

static char AsciiUpper(char c)
{
    return c >= 'a' && c <= 'z' ? (char)(c - 'a' + 'A') : c;
}

// pszUpper is upper case; only ASCII letters fold, as Windows folds them.
static int EqualsNoCase(const char* pszA, size_t cchA, const char* pszUpper)
{
    if (cchA != strlen(pszUpper))
        return 0;
    for (size_t i = 0; i < cchA; ++i) {
        if (AsciiUpper(pszA[i]) != pszUpper[i])
            return 0;
    }
    return 1;
}

int pkg_SameName(const char* pszA, const char* pszB)
{
    for (; *pszA != '\0' && AsciiUpper(*pszA) == AsciiUpper(*pszB); ++pszA, ++pszB) {
    }
    return *pszA == '\0' && *pszB == '\0';
}

static int IsDeviceDigit(uint16_t c)
{
    return (c >= '1' && c <= '9') || c == 0x00B9 || c == 0x00B2 || c == 0x00B3;
}

// COM1 to COM9 and LPT1 to LPT9, and as Windows also treats them, the same
// with the superscript digits one, two and three. Those are single bytes in
// some code pages (B9, B2, B3 in 1252) and missing from others (936 has
// none), so the name is read through the code page.
static int IsNumberedDevice(const char* pszBase, size_t cchBase, const PkgCodePage* pCodePage)
{
    uint16_t aw[8];
    if (cchBase < 4 || cchBase > 8)
        return 0;
    int cw = pkg_DecodeName(pCodePage->uCodePage, pszBase, cchBase, aw, 8);
    if (cw != 4)
        return 0;
    char szPrefix[4] = {(char)aw[0], (char)aw[1], (char)aw[2], '\0'};
    if (aw[0] > 0x7F || aw[1] > 0x7F || aw[2] > 0x7F ||
        (!EqualsNoCase(szPrefix, 3, "COM") && !EqualsNoCase(szPrefix, 3, "LPT")))
        return 0;
    return IsDeviceDigit(aw[3]);
}

// CON, NUL, COM1 ... are devices in every directory, extension or not.
static int IsDeviceName(const char* pszComp, size_t cchComp, const PkgCodePage* pCodePage)
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
    return IsNumberedDevice(pszComp, cchBase, pCodePage);
}

static PkgNameFault ComponentFault(const char* pszComp, size_t cchComp,
                                   const PkgCodePage* pCodePage)
{
    if (cchComp == 0) // a leading, doubled or trailing backslash
        return PKG_NAME_EMPTY_PART;
    char cLast = pszComp[cchComp - 1];
    if (cLast == '.' || cLast == ' ') // also "." and ".."
        return PKG_NAME_DOT_OR_SPACE;
    return IsDeviceName(pszComp, cchComp, pCodePage) ? PKG_NAME_DEVICE : PKG_NAME_OK;
}

const PkgCodePage* pkg_CodePage(uint32_t uCodePage)
{
    static const PkgCodePage kSystem = {0, 0}, kAscii = {1, 0};
    static const PkgCodePage kWestern = {0, 1252}, kChinese = {0, 936};
    switch (uCodePage) {
    case 0:
        return g_bPkgSystemCodePage ? &kSystem : &kAscii;
    case 1252:
        return &kWestern;
    case 936:
        return &kChinese;
    default:
        return NULL;
    }
}

PkgNameFault pkg_NameFault(const char* pszName, const PkgCodePage* pCodePage)
{
    const char* pszComp = pszName;
    const char* p = pszName;
    for (;;) {
        unsigned char c = (unsigned char)*p;
        if (c == '\0' || c == '\\') {
            PkgNameFault eFault = ComponentFault(pszComp, (size_t)(p - pszComp), pCodePage);
            if (eFault != PKG_NAME_OK || c == '\0')
                return eFault;
            pszComp = ++p;
            continue;
        }
        // The trail byte of a double-byte character is never a separator or
        // a forbidden character; a lead byte without one is malformed.
        if (!pCodePage->bAsciiOnly && pkg_IsLeadByte(pCodePage->uCodePage, c)) {
            if (p[1] == '\0')
                return PKG_NAME_NOT_TEXT;
            p += 2;
            continue;
        }
        if (c > 0x7F && pCodePage->bAsciiOnly)
            return PKG_NAME_NOT_TEXT;
        if (c < 0x20 || c == 0x7F || strchr("/:*?\"<>|", c) != NULL)
            return PKG_NAME_CHARACTER;
        ++p;
    }
}

int pkg_IsSafeName(const char* pszName, const PkgCodePage* pCodePage)
{
    return pkg_NameFault(pszName, pCodePage) == PKG_NAME_OK;
}
