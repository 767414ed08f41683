// The work directory lies under C:\tmp, which ordinary users may create and
// write to, and the elevated launcher starts programs from it. So before
// anything is extracted:
// - C:\tmp must be a plain directory the launcher can hold. Other programs
//   use it too (a junction there commonly moves it to another drive), so when
//   it is a link or cannot be held the launcher refuses and changes nothing.
// - A work directory that is a link is removed as a link; one that somebody
//   else owns, or that cannot be opened, is renamed aside and never entered.
// - A new work directory is made and opened in one step, with its protected
//   descriptor, so nobody can put another in its place in between.
// - A reused one gets the descriptor, loses its files, and its subdirectories
//   are made safe: links in them removed as links, everything else given the
//   descriptor, so nobody else can write below it any more.
// Both directories stay open without delete sharing, so nobody can rename or
// replace them until the caller lets go.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"

#include <aclapi.h>
#include <sddl.h>
#include <stdio.h>
#include <string.h>
#include <winternl.h>

namespace
{

const char kTmpRoot[] = UTL_TMP_ROOT;
const char kWorkDir[] = UTL_TMP_ROOT "\\KelvoSetup0";
// SYSTEM and Administrators may do anything; Users may read and run what was
// extracted (an installer may start helpers without elevation), never write.
const char kProtectedDacl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)";
const NTSTATUS kStatusNameCollision = (NTSTATUS)0xC0000035L;

typedef NTSTATUS(NTAPI* NtCreateFileFn)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                        PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

// The protected descriptor, for LocalFree; NULL when it cannot be built.
PSECURITY_DESCRIPTOR NewProtectedSd()
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedDacl, SDDL_REVISION_1, &pSd,
                                                              NULL))
        return NULL;
    return pSd;
}

void LogWorkDir(const char* pszFormat, const char* pszDir, unsigned long ulCode)
{
    char szLine[MAX_PATH + 96];
    snprintf(szLine, sizeof szLine, pszFormat, pszDir, ulCode);
    WriteSetupLog(szLine);
}

// Opened as itself, never through a link, and without delete sharing.
HANDLE HoldDir(const char* pszDir)
{
    return CreateFileA(pszDir, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                       NULL);
}

// Asked of the held handle and of the path, which names what is held: a link
// either of them shows is a link.
int IsLinkOrNotDir(HANDLE hDir, const char* pszDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    return !GetFileInformationByHandle(hDir, &info) ||
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
           !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || utl_IsLink(pszDir);
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

// A link is removed as a link; a directory is renamed, never entered: a
// rename moves the link or directory itself, not what it leads to.
int SetAside(const char* pszDir, int bLink)
{
    LogWorkDir("PrepareWorkDir: %s is not trusted and is set aside.", pszDir, 0);
    BOOL bDone;
    if (bLink) {
        bDone = RemoveDirectoryA(pszDir);
    } else {
        char szAside[MAX_PATH];
        snprintf(szAside, sizeof szAside, "%s.untrusted.%lu", pszDir,
                 (unsigned long)GetTickCount());
        bDone = MoveFileA(pszDir, szAside);
    }
    if (!bDone)
        LogWorkDir("PrepareWorkDir: %s cannot be set aside, err %lu.", pszDir, GetLastError());
    return bDone != 0;
}

// C:\tmp, made when missing, held when it is a plain directory.
HANDLE HoldTmpRoot()
{
    if (GetFileAttributesA(kTmpRoot) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(kTmpRoot, NULL);
    HANDLE hTmp = HoldDir(kTmpRoot);
    if (hTmp != INVALID_HANDLE_VALUE && !IsLinkOrNotDir(hTmp, kTmpRoot))
        return hTmp;
    utl_CloseHandle(&hTmp);
    LogWorkDir("PrepareWorkDir: %s is a link or cannot be held; nothing is changed.", kTmpRoot, 0);
    return INVALID_HANDLE_VALUE;
}

// The existing work directory when it can be trusted; otherwise it is set
// aside and *pbOk says whether that worked.
HANDLE HoldExistingWorkDir(int* pbOk)
{
    *pbOk = 1;
    HANDLE hWork = HoldDir(kWorkDir);
    if (hWork == INVALID_HANDLE_VALUE) {
        if (GetFileAttributesA(kWorkDir) != INVALID_FILE_ATTRIBUTES)
            *pbOk = SetAside(kWorkDir, utl_IsLink(kWorkDir));
        return INVALID_HANDLE_VALUE;
    }
    int bLink = IsLinkOrNotDir(hWork, kWorkDir);
    if (!bLink && HasTrustedOwner(hWork))
        return hWork;
    utl_CloseHandle(&hWork);
    *pbOk = SetAside(kWorkDir, bLink);
    return INVALID_HANDLE_VALUE;
}

// Makes the directory and opens it in one call, with the descriptor given, so
// what is held is what was made. CreateDirectoryA cannot: between it and the
// open, the owner of C:\tmp could put something else in its place.
HANDLE MakeAndHoldWorkDir(PSECURITY_DESCRIPTOR pSd)
{
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    NtCreateFileFn pfnCreate =
        hNtdll ? (NtCreateFileFn)(void*)GetProcAddress(hNtdll, "NtCreateFile") : NULL;
    WCHAR wszPath[MAX_PATH + 8] = L"\\??\\";
    if (pfnCreate == NULL ||
        !MultiByteToWideChar(CP_ACP, 0, kWorkDir, -1, wszPath + 4, MAX_PATH + 4))
        return INVALID_HANDLE_VALUE;
    UNICODE_STRING name;
    name.Buffer = wszPath;
    name.Length = (USHORT)(lstrlenW(wszPath) * sizeof(WCHAR));
    name.MaximumLength = name.Length + sizeof(WCHAR);
    OBJECT_ATTRIBUTES attrs;
    InitializeObjectAttributes(&attrs, &name, OBJ_CASE_INSENSITIVE, NULL, pSd);
    IO_STATUS_BLOCK io;
    HANDLE hWork = NULL;
    NTSTATUS status = pfnCreate(
        &hWork, GENERIC_READ | SYNCHRONIZE, &attrs, &io, NULL, FILE_ATTRIBUTE_NORMAL,
        FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
        FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, NULL, 0);
    if (status >= 0)
        return hWork;
    LogWorkDir(status == kStatusNameCollision
                   ? "PrepareWorkDir: %s appeared while it was being made (0x%08lX)."
                   : "PrepareWorkDir: %s cannot be made, status 0x%08lX.",
               kWorkDir, (unsigned long)status);
    return INVALID_HANDLE_VALUE;
}

// The whole descriptor is applied, its protection flag included, so nothing
// is inherited from C:\tmp; files extracted later inherit its entries. A
// volume without persistent ACLs (FAT) cannot be protected and has no other
// users' rights to protect against.
int Protect(const char* pszDir, PSECURITY_DESCRIPTOR pSd)
{
    if (SetFileSecurityA(pszDir, DACL_SECURITY_INFORMATION, pSd))
        return 1;
    DWORD dwFlags = 0;
    return GetVolumeInformationA("C:\\", NULL, 0, NULL, NULL, &dwFlags, NULL, 0) &&
           !(dwFlags & FILE_PERSISTENT_ACLS);
}

void RemoveLink(const char* pszPath, DWORD dwAttr)
{
    if (dwAttr & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryA(pszPath);
    else
        DeleteFileA(pszPath);
}

void MakeSubtreeSafe(const char* pszDir, PSECURITY_DESCRIPTOR pSd);

// One entry: given the descriptor through a handle opened on the entry
// itself, or removed as a link and never entered. A subdirectory is held
// while its own entries are done.
void MakeEntrySafe(const char* pszPath, DWORD dwAttr, void* pSd)
{
    if (dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLink(pszPath, dwAttr);
        return;
    }
    HANDLE hEntry = CreateFileA(pszPath, READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (hEntry == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hEntry, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        CloseHandle(hEntry);
        RemoveLink(pszPath, dwAttr);
        return;
    }
    SetKernelObjectSecurity(hEntry, DACL_SECURITY_INFORMATION, pSd);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        MakeSubtreeSafe(pszPath, pSd);
    CloseHandle(hEntry);
}

// Every entry below pszDir, at any depth.
void MakeSubtreeSafe(const char* pszDir, PSECURITY_DESCRIPTOR pSd)
{
    utl_ForEachEntry(pszDir, "*", UTL_ENTRY_ALL, MakeEntrySafe, pSd);
}

} // namespace

void MakeWorkSubdirsSafe(const char* pszDir)
{
    PSECURITY_DESCRIPTOR pSd = NewProtectedSd();
    if (pSd == NULL)
        return;
    MakeSubtreeSafe(pszDir, pSd);
    LocalFree(pSd);
}

int PrepareWorkDir(char* pszOut, size_t cbOut, WorkDirHold* pHold)
{
    int bOk = 0;
    int bReused = 0;
    PSECURITY_DESCRIPTOR pSd = cbOut < sizeof kWorkDir ? NULL : NewProtectedSd();
    if (pSd == NULL)
        goto out;
    pHold->hTmp = HoldTmpRoot();
    if (pHold->hTmp == INVALID_HANDLE_VALUE)
        goto out;
    pHold->hWork = HoldExistingWorkDir(&bOk);
    if (!bOk)
        goto out;
    bReused = pHold->hWork != INVALID_HANDLE_VALUE;
    if (!bReused)
        pHold->hWork = MakeAndHoldWorkDir(pSd);
    bOk = pHold->hWork != INVALID_HANDLE_VALUE && !IsLinkOrNotDir(pHold->hWork, kWorkDir) &&
          Protect(kWorkDir, pSd);
    if (bOk && bReused) {
        utl_DeleteFilesInDir(kWorkDir, "*.*");
        MakeSubtreeSafe(kWorkDir, pSd);
    }
    if (bOk)
        memcpy(pszOut, kWorkDir, sizeof kWorkDir);

out:
    if (pSd)
        LocalFree(pSd);
    if (!bOk)
        ReleaseWorkDir(pHold);
    return bOk;
}

void ReleaseWorkDir(WorkDirHold* pHold)
{
    utl_CloseHandle(&pHold->hWork);
    utl_CloseHandle(&pHold->hTmp);
}
