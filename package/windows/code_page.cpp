// Record names as Windows reads them: lead bytes and characters of the
// system's ANSI code page, or of one the release engineer names.
#include "package.h"

// Code page 0 is CP_ACP, the system's own.
const int g_bPkgSystemCodePage = 1;

int pkg_IsLeadByte(uint32_t uCodePage, uint8_t b)
{
    return IsDBCSLeadByteEx(uCodePage, b) ? 1 : 0;
}

int pkg_DecodeName(uint32_t uCodePage, const char* p, size_t cb, uint16_t* pw, size_t cwMax)
{
    int cw =
        MultiByteToWideChar(uCodePage, MB_ERR_INVALID_CHARS, p, (int)cb, (WCHAR*)pw, (int)cwMax);
    return cw > 0 ? cw : -1;
}

int pkg_IsSafeRecordName(const char* pszName)
{
    return pkg_IsSafeName(pszName, pkg_CodePage(0));
}
