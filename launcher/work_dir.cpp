// The work directory lies under C:\tmp, which ordinary users may create and
// write to, and the elevated launcher starts programs from it. So before
// anything is extracted: a link in place of C:\tmp or the work directory, or
// a work directory some other user owns, is set aside without being
// followed; the directory gets a protected descriptor (SYSTEM and
// Administrators only); and both directories stay open without delete
// sharing, so nobody can rename or replace them until the caller lets go.
#include "launch_steps.h"
#include "../util/file_util.h"
#include "../util/log.h"

#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>

namespace
{

const char kTmpRoot[] = "C:\\tmp";
const char kWorkDir[] = "C:\\tmp\\KelvoSetup0";
const char kWorkPrefix[] = "KelvoSetup";
const char kProtectedDacl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Opened as itself, never through a link, and without delete sharing.
HANDLE HoldDir(const char* pszDir)
{
    return CreateFileA(pszDir, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       NULL);
}

void CloseHeld(HANDLE* phDir)
{
    if (*phDir != INVALID_HANDLE_VALUE)
        CloseHandle(*phDir);
    *phDir = INVALID_HANDLE_VALUE;
}

int IsLink(HANDLE hDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    return !GetFileInformationByHandle(hDir, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

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

int HasTrustedOwner(HANDLE hDir)
{
    PSID pOwner = NULL;
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (GetSecurityInfo(hDir, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, NULL, NULL, NULL,
                        &pSd) != ERROR_SUCCESS)
        return 0;
    PSID pSystem = NewWellKnownSid(SECURITY_LOCAL_SYSTEM_RID, 0, 1);
    PSID pAdmins = NewWellKnownSid(SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 2);
    int bTrusted = (pSystem && EqualSid(pOwner, pSystem)) ||
                   (pAdmins && EqualSid(pOwner, pAdmins)) || IsOwnDefaultOwner(pOwner);
    if (pSystem)
        FreeSid(pSystem);
    if (pAdmins)
        FreeSid(pAdmins);
    LocalFree(pSd);
    return bTrusted;
}

// A link is removed as a link; a directory is removed without following the
// links inside it; what cannot be removed is renamed out of the way.
int SetAside(const char* pszDir, int bLink)
{
    char szLine[MAX_PATH + 64];
    snprintf(szLine, sizeof szLine, "PrepareWorkDir: %s is not trusted and is set aside.", pszDir);
    WriteSetupLog(szLine);
    if (bLink)
        RemoveDirectoryA(pszDir);
    else
        utl_RemoveDirTree(pszDir);
    if (GetFileAttributesA(pszDir) == INVALID_FILE_ATTRIBUTES)
        return 1;
    char szAside[MAX_PATH];
    snprintf(szAside, sizeof szAside, "%s.untrusted.%lu", pszDir, (unsigned long)GetTickCount());
    return MoveFileA(pszDir, szAside) != 0;
}

// Holds an existing directory, first setting it aside when it is a link or,
// with bCheckOwner, when somebody else owns it. INVALID_HANDLE_VALUE with
// *pbOk 1 means there is no directory (any more).
HANDLE HoldTrusted(const char* pszDir, int bCheckOwner, int* pbOk)
{
    *pbOk = 1;
    HANDLE hDir = HoldDir(pszDir);
    if (hDir == INVALID_HANDLE_VALUE) {
        if (GetFileAttributesA(pszDir) != INVALID_FILE_ATTRIBUTES)
            *pbOk = SetAside(pszDir, 1);
        return INVALID_HANDLE_VALUE;
    }
    int bLink = IsLink(hDir);
    if (!bLink && (!bCheckOwner || HasTrustedOwner(hDir)))
        return hDir;
    CloseHeld(&hDir);
    *pbOk = SetAside(pszDir, bLink);
    return INVALID_HANDLE_VALUE;
}

// The whole descriptor is applied, its protection flag included, so nothing
// is inherited from C:\tmp; files extracted later inherit these two entries.
// A volume without persistent ACLs (FAT) cannot be protected and has no
// other users' rights to protect against.
int Protect(const char* pszDir)
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedDacl, SDDL_REVISION_1, &pSd,
                                                              NULL))
        return 0;
    BOOL bSet = SetFileSecurityA(pszDir, DACL_SECURITY_INFORMATION, pSd);
    LocalFree(pSd);
    if (bSet)
        return 1;
    DWORD dwFlags = 0;
    return GetVolumeInformationA("C:\\", NULL, 0, NULL, NULL, &dwFlags, NULL, 0) &&
           !(dwFlags & FILE_PERSISTENT_ACLS);
}

} // namespace

int PrepareWorkDir(char* pszOut, size_t cbOut, WorkDirHold* pHold)
{
    int bOk = 1;
    pHold->hTmp = HoldTrusted(kTmpRoot, 0, &bOk);
    pHold->hWork = bOk ? HoldTrusted(kWorkDir, 1, &bOk) : INVALID_HANDLE_VALUE;
    if (!bOk)
        goto fail;
    if (!utl_CreateTempDir(pszOut, cbOut, kWorkPrefix, 0) || strcmp(pszOut, kWorkDir) != 0)
        goto fail;
    if (pHold->hTmp == INVALID_HANDLE_VALUE)
        pHold->hTmp = HoldDir(kTmpRoot);
    if (pHold->hWork == INVALID_HANDLE_VALUE)
        pHold->hWork = HoldDir(kWorkDir);
    if (pHold->hWork == INVALID_HANDLE_VALUE || IsLink(pHold->hWork) || !Protect(kWorkDir))
        goto fail;
    return 1;

fail:
    ReleaseWorkDir(pHold);
    return 0;
}

void ReleaseWorkDir(WorkDirHold* pHold)
{
    CloseHeld(&pHold->hWork);
    CloseHeld(&pHold->hTmp);
}
