// The tool's failure lines. The meanings are the package and customisation
// code's own texts; what to do is said here, once a number, for a release
// engineer at a build machine.
#include "tool_messages.h"
#include "cus_ini_value.h"
#include "package_format.h"
#include "setuptool.h"
#include "tool_os.h"
#include "vrf.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Advice {
    uint32_t dwErr;
    const char* pszAdvice;
};

// clang-format off
const Advice kAdvice[] = {
    {PKG_ERR_NULL_ARG, "A programming fault: report it."},
    {PKG_ERR_PATH_TOO_LONG, "Use a shorter path."},
    {PKG_ERR_NO_SOURCE, "Check the path."},
    {PKG_ERR_DELETE_PACKAGE, "Close what holds the file open, then run again."},
    {PKG_ERR_SIZE, "Run again once the file is complete; setups and their files stay below "
     "4 GiB."},
    {PKG_ERR_OPEN, "Check the permissions, or close the program that holds the file."},
    {PKG_ERR_WRITE, "Free space on that drive, or check its permissions, then run again."},
    {PKG_ERR_NO_DEST_DIR, "Check that the drive exists and the folder above may be written."},
    {PKG_ERR_READ_HEADER, "Build the setup again, or give the right --offset."},
    {PKG_ERR_BAD_HEADER, "Name a setup or a package, or give the right --offset."},
    {PKG_ERR_NAME_LENGTH, "Rename the file, or unpack into a shorter folder; a package that "
     "says so is damaged: build it again."},
    {PKG_ERR_DATA_LENGTH, "The package is cut short or damaged: build it again."},
    {PKG_ERR_RECORD_OVERRUN, "The package is cut short or damaged: build it again."},
    {PKG_ERR_READ_NAME, "The package is cut short or damaged: build it again."},
    {PKG_ERR_OPEN_DEST, "Rename the file (docs/setuptool.md has the name rules), or clear the "
     "folder unpacked into."},
    {PKG_ERR_READ_DATA, "The package is cut short or damaged: build it again."},
    {VRF_ERR_INI_SIZE, "Check that the INI file is there."},
    {VRF_ERR_INI_LARGE, "Make the INI file smaller."},
    {VRF_ERR_INI_OPEN, "Close what holds the INI file open, or check its permissions."},
    {VRF_ERR_CREATE, "Check the folder's permissions, and that the .vrf file is not read-only."},
    {VRF_ERR_WRITE, "Free disk space, or check the permissions."},
    {VRF_ERR_SALT, "A programming fault: report it."},
    {CUSINI_ERR_NO_INI, "Name the folder that holds KelvoCustom.ini."},
    {CUSINI_ERR_NOT_VERIFIED, "Restore KelvoCustom.ini, or seal an intended edit with vrf write "
     "--custom first."},
    {CUSINI_ERR_INI_WRITE, "Check the permissions, then restore KelvoCustom.ini from the .lzj "
     "copy."},
    {CUSINI_ERR_NULL_ARG, "Give a section and a key that are not empty."},
    {CUSINI_ERR_VRF_WRITE, "Free disk space or check the permissions, then seal the pair with "
     "vrf write --custom."},
};
// clang-format on

} // namespace

const char* tool_ErrorText(uint32_t dwErr)
{
    if (pkg_ErrorText(dwErr) != NULL)
        return pkg_ErrorText(dwErr);
    if (dwErr >= VRF_ERR_INI_SIZE && dwErr <= VRF_ERR_SALT)
        return VrfErrorText((int)dwErr);
    if (dwErr >= CUSINI_ERR_NO_INI && dwErr <= CUSINI_ERR_VRF_WRITE)
        return CusIniResultText((int)dwErr);
    return "an error of no known meaning";
}

const char* tool_ErrorAdvice(uint32_t dwErr)
{
    for (const Advice& advice : kAdvice) {
        if (advice.dwErr == dwErr)
            return advice.pszAdvice;
    }
    return NULL;
}

int tool_Fail(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
              uint32_t dwSysErr)
{
    fprintf(stderr, "%s %s: ", g_szToolName, pszCommand);
    if (pszFile != NULL)
        fprintf(stderr, "\"%s\"%s", pszFile, pszWhat ? " " : "");
    if (pszWhat != NULL)
        fputs(pszWhat, stderr);
    if (dwErr != 0)
        fprintf(stderr, "%serror %u: %s", pszFile || pszWhat ? ": " : "", (unsigned)dwErr,
                tool_ErrorText(dwErr));
    if (dwSysErr != 0)
        fprintf(stderr, " (%s)", tos_ErrorText(dwSysErr));
    const char* pszAdvice = dwErr != 0 ? tool_ErrorAdvice(dwErr) : NULL;
    fprintf(stderr, ".%s%s\n", pszAdvice ? " " : "", pszAdvice ? pszAdvice : "");
    return TOOL_FAILED;
}

// What the destination refused concerns the folder; a listing has none. A
// name refused without a system error may be one of another code page.
int tool_FailWalk(const char* pszCommand, const char* pszPackage, const char* pszDest,
                  const char* pszRecord, uint32_t dwErr, uint32_t dwSysErr, uint32_t uCodePage)
{
    int bDest =
        strcmp(pszDest, ".") != 0 && (dwErr == PKG_ERR_NO_DEST_DIR || dwErr == PKG_ERR_WRITE ||
                                      (dwErr == PKG_ERR_OPEN_DEST && dwSysErr != 0));
    char szFile[2 * TOOL_PATH_BUF];
    if (bDest && pszRecord != NULL && dwErr != PKG_ERR_NO_DEST_DIR)
        snprintf(szFile, sizeof szFile, "%s%c%s", pszDest, g_chToolSeparator, pszRecord);
    else
        snprintf(szFile, sizeof szFile, "%s", bDest ? pszDest : pszPackage);
    tool_Fail(pszCommand, szFile, NULL, dwErr, dwSysErr);
    if (dwSysErr == 0)
        tool_NoteCodePage(dwErr, uCodePage);
    return TOOL_FAILED;
}

void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage)
{
    if (dwErr == PKG_ERR_OPEN_DEST && uCodePage == 0)
        fprintf(stderr, "note: names are read in the default code page; a package made for "
                        "another is read with --codepage 1252 or --codepage 936\n");
}
