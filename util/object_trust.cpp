// Who made an object, and who may change it: the elevated launchers trust a
// folder or a named object that others could have made first only when
// nobody but SYSTEM and Administrators can have made or changed it.
#include "object_trust.h"

#include <aclapi.h>

namespace
{

PSID NewWellKnownSid(DWORD dwRid1, DWORD dwRid2, BYTE nRids)
{
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    PSID pSid = NULL;
    AllocateAndInitializeSid(&nt, nRids, dwRid1, dwRid2, 0, 0, 0, 0, 0, 0, &pSid);
    return pSid;
}

// The owner the launcher's own token gives to what it creates.
int IsOwnDefaultOwner(PSID pOwner)
{
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return 0;
    BYTE buf[256];
    DWORD cb = 0;
    int bSame = GetTokenInformation(hToken, TokenOwner, buf, sizeof buf, &cb) &&
                EqualSid(((TOKEN_OWNER*)buf)->Owner, pOwner);
    CloseHandle(hToken);
    return bSame;
}

// SYSTEM, Administrators, and this process's default owner.
int IsTrustedSid(PSID pSid)
{
    PSID pSystem = NewWellKnownSid(SECURITY_LOCAL_SYSTEM_RID, 0, 1);
    PSID pAdmins = NewWellKnownSid(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    int bTrusted =
        pSid != NULL && ((pSystem && EqualSid(pSid, pSystem)) ||
                         (pAdmins && EqualSid(pSid, pAdmins)) || IsOwnDefaultOwner(pSid));
    if (pSystem)
        FreeSid(pSystem);
    if (pAdmins)
        FreeSid(pAdmins);
    return bTrusted;
}

// A trusted SID, or the creator of an entry: an entry inherits that right
// only for whoever made it, and only those with write may make one.
int MayChange(PSID pSid)
{
    SID_IDENTIFIER_AUTHORITY creator = {SECURITY_CREATOR_SID_AUTHORITY};
    PSID pCreator = NULL;
    AllocateAndInitializeSid(&creator, 1, SECURITY_CREATOR_OWNER_RID, 0, 0, 0, 0, 0, 0, 0,
                             &pCreator);
    int bMay = IsTrustedSid(pSid) || (pCreator && EqualSid(pSid, pCreator));
    if (pCreator)
        FreeSid(pCreator);
    return bMay;
}

// Every right that changes a folder, what is in it, or who may do so.
const ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                    FILE_DELETE_CHILD | FILE_WRITE_ATTRIBUTES | DELETE | WRITE_DAC |
                                    WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

// Inherit-only entries count too: they are what new files get.
int DaclLetsOnlyAdminsChange(PACL pDacl)
{
    if (pDacl == NULL) // no DACL: everyone may do everything
        return 0;
    for (DWORD i = 0; i < pDacl->AceCount; ++i) {
        ACE_HEADER* pAce = NULL;
        if (!GetAce(pDacl, i, (void**)&pAce))
            return 0;
        if (pAce->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (pAce->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return 0; // conditional and object entries are not read: not trusted
        ACCESS_ALLOWED_ACE* pAllowed = (ACCESS_ALLOWED_ACE*)pAce;
        if ((pAllowed->Mask & kChangingRights) && !MayChange((PSID)&pAllowed->SidStart))
            return 0;
    }
    return 1;
}

} // namespace

int utl_HasTrustedOwner(HANDLE hObject, SE_OBJECT_TYPE eType)
{
    PSID pOwner = NULL;
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (GetSecurityInfo(hObject, eType, OWNER_SECURITY_INFORMATION, &pOwner, NULL, NULL, NULL,
                        &pSd) != ERROR_SUCCESS)
        return 0;
    int bTrusted = IsTrustedSid(pOwner);
    LocalFree(pSd);
    return bTrusted;
}

int utl_DescriptorLetsOnlyAdminsChange(PSECURITY_DESCRIPTOR pSd)
{
    PSID pOwner = NULL;
    BOOL bDefaulted = FALSE, bPresent = FALSE;
    PACL pDacl = NULL;
    if (!GetSecurityDescriptorOwner(pSd, &pOwner, &bDefaulted) ||
        !GetSecurityDescriptorDacl(pSd, &bPresent, &pDacl, &bDefaulted))
        return 0;
    // The owner may always change the DACL, whatever it says; a descriptor
    // without a DACL lets everyone do everything.
    return IsTrustedSid(pOwner) && bPresent && DaclLetsOnlyAdminsChange(pDacl);
}

int utl_OnlyAdminsMayChange(HANDLE hObject)
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (GetSecurityInfo(hObject, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, NULL, NULL, NULL,
                        NULL, &pSd) != ERROR_SUCCESS)
        return 0;
    int bOnly = utl_DescriptorLetsOnlyAdminsChange(pSd);
    LocalFree(pSd);
    return bOnly;
}
