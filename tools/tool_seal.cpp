// The seal as the tool reports it. A setup built before the seal has none:
// it still installs, but a damaged copy of it would too.
#include "tool_seal.h"
#include "setuptool.h"

#include <stdio.h>

namespace
{

// Why a seal does not match, in parentheses.
void WhyNot(const PkgSealCheck* pCheck, char* pszOut, size_t cbOut)
{
    switch (pCheck->eState) {
    case PKG_SEAL_WRONG_LENGTH:
        snprintf(pszOut, cbOut, "(the package is %llu bytes, the seal says %u)",
                 (unsigned long long)pCheck->cbPackage, (unsigned)pCheck->sealed.cbPackage);
        return;
    case PKG_SEAL_UNREADABLE:
        snprintf(pszOut, cbOut, "(the seal at %d is damaged)", PKG_SEAL_AT);
        return;
    default: {
        char szFound[17], szSealed[17];
        pkg_DigestText(pCheck->ullFound, szFound);
        pkg_DigestText(pCheck->sealed.ullDigest, szSealed);
        snprintf(pszOut, cbOut, "(the package's XXH3 is %s, the seal says %s)", szFound, szSealed);
        return;
    }
    }
}

} // namespace

const char* tool_SealReport(const PkgSealCheck* pCheck, char* pszOut, size_t cbOut)
{
    switch (pCheck->eState) {
    case PKG_SEAL_MATCHES:
        return "matches";
    case PKG_SEAL_NONE:
        return "none (a damaged copy of this setup would install)";
    case PKG_SEAL_MISMATCH:
    case PKG_SEAL_WRONG_LENGTH:
    case PKG_SEAL_UNREADABLE: {
        char szWhy[96];
        WhyNot(pCheck, szWhy, sizeof szWhy);
        snprintf(pszOut, cbOut, "does not match %s", szWhy);
        return pszOut;
    }
    default:
        return NULL;
    }
}

int tool_FailSeal(const char* pszCommand, const char* pszFile, const PkgSealCheck* pCheck)
{
    if (!pkg_SealSaysDamaged(pCheck))
        return 0;
    char szWhy[96], szWhat[128];
    WhyNot(pCheck, szWhy, sizeof szWhy);
    snprintf(szWhat, sizeof szWhat, "does not match its seal %s", szWhy);
    tool_Fail(pszCommand, pszFile, szWhat, PKG_ERR_DAMAGED, 0);
    return 1;
}

void tool_JsonSeal(const PkgSealCheck* pCheck)
{
    const char* pszState = pCheck->eState == PKG_SEAL_MATCHES ? "matches"
                           : pCheck->eState == PKG_SEAL_NONE  ? "none"
                           : pkg_SealSaysDamaged(pCheck)      ? "does not match"
                                                              : NULL;
    if (pszState == NULL) {
        printf("null");
        return;
    }
    char szSealed[17], szFound[17];
    pkg_DigestText(pCheck->sealed.ullDigest, szSealed);
    pkg_DigestText(pCheck->ullFound, szFound);
    printf("{\"state\": \"%s\"", pszState);
    if (pCheck->eState == PKG_SEAL_UNREADABLE)
        printf(", \"why\": \"the seal is damaged\"");
    if (pCheck->eState == PKG_SEAL_MATCHES || pCheck->eState == PKG_SEAL_MISMATCH ||
        pCheck->eState == PKG_SEAL_WRONG_LENGTH)
        printf(", \"sealed_length\": %u, \"sealed_xxh3\": \"%s\"",
               (unsigned)pCheck->sealed.cbPackage, szSealed);
    if (pCheck->eState != PKG_SEAL_NONE && pCheck->eState != PKG_SEAL_UNREADABLE)
        printf(", \"length\": %llu", (unsigned long long)pCheck->cbPackage);
    if (pCheck->eState == PKG_SEAL_MATCHES || pCheck->eState == PKG_SEAL_MISMATCH)
        printf(", \"xxh3\": \"%s\"", szFound);
    printf("}");
}
