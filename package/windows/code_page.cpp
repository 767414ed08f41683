// Record names as Windows reads them: lead bytes and characters of the
// system's ANSI code page, or of one the release engineer names.
#include "package.h"

namespace
{

int IsLeadByte(uint32_t uCodePage, uint8_t b)
{
    return IsDBCSLeadByteEx(uCodePage, b) ? 1 : 0;
}

int Decode(uint32_t uCodePage, const char* p, size_t cb, uint16_t* pw, size_t cwMax)
{
    int cw =
        MultiByteToWideChar(uCodePage, MB_ERR_INVALID_CHARS, p, (int)cb, (WCHAR*)pw, (int)cwMax);
    return cw > 0 ? cw : -1;
}

const PkgCodePage kSystem = {0, CP_ACP, IsLeadByte, Decode};
const PkgCodePage kWestern = {0, 1252, IsLeadByte, Decode};
const PkgCodePage kChinese = {0, 936, IsLeadByte, Decode};

} // namespace

const PkgCodePage* pkg_CodePage(uint32_t uCodePage)
{
    switch (uCodePage) {
    case 0:
        return &kSystem;
    case 1252:
        return &kWestern;
    case 936:
        return &kChinese;
    default:
        return NULL;
    }
}

int pkg_IsSafeRecordName(const char* pszName)
{
    return pkg_IsSafeName(pszName, &kSystem);
}
