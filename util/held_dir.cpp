// Directories in places any user may write to, handled so that a link, a
// planted entry or a swap between a check and a use never turns what the
// elevated launcher does: checks go through held handles, new directories
// are made and opened in one step, entries are renamed or removed through
// handles opened relative to their held parent, and links are removed as
// links, never entered. The native calls come from ntdll at run time.
#include "held_dir.h"
#include "win_functions.h"

// stdio.h before aclapi.h: that header drags in the C++ runtime's settings,
// which would switch snprintf to mingw-w64's own 12 KB implementation.
#include <stdio.h>

#include <aclapi.h>
#include <ctype.h>
#include <sddl.h>
#include <string.h>
#include <winternl.h>

namespace
{

DECL_WINDOWS_FUNCTION(static, NTSTATUS, NtCreateFile,
                      (PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                       ULONG, ULONG, ULONG, ULONG, PVOID, ULONG));
DECL_WINDOWS_FUNCTION(static, NTSTATUS, NtSetInformationFile,
                      (HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS));
DECL_WINDOWS_FUNCTION(static, ULONG, RtlNtStatusToDosError, (NTSTATUS));
// Not in the headers the launchers build with.
DECL_WINDOWS_FUNCTION(static, NTSTATUS, NtQueryDirectoryFile,
                      (HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                       FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN));
DECL_WINDOWS_FUNCTION(static, DWORD, GetFinalPathNameByHandleW, (HANDLE, LPWSTR, DWORD, DWORD));

const NTSTATUS kStatusNoMoreFiles = (NTSTATUS)0x80000006L;
const NTSTATUS kStatusNameCollision = (NTSTATUS)0xC0000035L;
const NTSTATUS kStatusAccessDenied = (NTSTATUS)0xC0000022L;
const NTSTATUS kStatusObjectNameInvalid = (NTSTATUS)0xC0000033L;

// The longest path the system takes, with room for a prefix and a name.
enum { WIDE_PATH_MAX = 32768 + 16, MAX_DEPTH = 64, LIST_BUF = 4096 };

int HaveNtCalls()
{
    static int s_nLoaded = -1;
    if (s_nLoaded < 0) {
        HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
        s_nLoaded = GET_WINDOWS_FUNCTION(hNtdll, NtCreateFile) != NULL &&
                    GET_WINDOWS_FUNCTION(hNtdll, NtSetInformationFile) != NULL &&
                    GET_WINDOWS_FUNCTION(hNtdll, RtlNtStatusToDosError) != NULL &&
                    GET_WINDOWS_FUNCTION_NO_TYPECHECK(hNtdll, NtQueryDirectoryFile) != NULL;
    }
    return s_nLoaded;
}

DWORD Win32Error(NTSTATUS status)
{
    return HaveNtCalls() ? p_RtlNtStatusToDosError(status) : ERROR_GEN_FAILURE;
}

// A full path in the form the wide calls take at any length.
int ToWidePath(const char* pszPath, WCHAR* pwszOut, size_t cchOut)
{
    size_t cchPrefix = 0;
    if (strlen(pszPath) >= 3 && pszPath[1] == ':' && pszPath[2] == '\\') {
        wcscpy(pwszOut, L"\\\\?\\");
        cchPrefix = 4;
    }
    return MultiByteToWideChar(CP_ACP, 0, pszPath, -1, pwszOut + cchPrefix,
                               (int)(cchOut - cchPrefix)) > 0;
}

void SetName(UNICODE_STRING* pName, WCHAR* pwsz, size_t cch)
{
    pName->Buffer = pwsz;
    pName->Length = (USHORT)(cch * sizeof(WCHAR));
    pName->MaximumLength = pName->Length;
}

// Opens pwszName (cch characters) relative to the held hParent, or the NT
// path pwszName when hParent is NULL.
NTSTATUS OpenNt(HANDLE hParent, WCHAR* pwszName, size_t cch, ACCESS_MASK access, ULONG ulOptions,
                ULONG ulDisposition, PSECURITY_DESCRIPTOR pSd, HANDLE* phOut)
{
    *phOut = INVALID_HANDLE_VALUE;
    if (!HaveNtCalls() || cch * sizeof(WCHAR) > 0xFFFE)
        return kStatusAccessDenied;
    UNICODE_STRING name;
    SetName(&name, pwszName, cch);
    OBJECT_ATTRIBUTES attrs;
    InitializeObjectAttributes(&attrs, &name, OBJ_CASE_INSENSITIVE, hParent, pSd);
    IO_STATUS_BLOCK io;
    HANDLE h = NULL;
    NTSTATUS status =
        p_NtCreateFile(&h, access | SYNCHRONIZE, &attrs, &io, NULL, FILE_ATTRIBUTE_NORMAL,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, ulDisposition,
                       ulOptions | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT |
                           FILE_OPEN_FOR_BACKUP_INTENT,
                       NULL, 0);
    if (status >= 0)
        *phOut = h;
    return status;
}

// A name for OpenNt: relative to hParent as it is, else as an NT path.
size_t NtNameOf(HANDLE hParent, const char* pszName, WCHAR* pwszOut, size_t cchOut)
{
    size_t cchPrefix = 0;
    if (hParent == NULL) {
        wcscpy(pwszOut, L"\\??\\");
        cchPrefix = 4;
    }
    int cch =
        MultiByteToWideChar(CP_ACP, 0, pszName, -1, pwszOut + cchPrefix, (int)(cchOut - cchPrefix));
    return cch > 0 ? cchPrefix + (size_t)cch - 1 : 0;
}

int HandleShowsLink(HANDLE h, BY_HANDLE_FILE_INFORMATION* pInfo)
{
    return !GetFileInformationByHandle(h, pInfo) ||
           (pInfo->dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A link is removed by its path: whatever has been put in its place since
// is removed as one name at most, never entered.
BOOL RemoveLinkByPath(const WCHAR* pwszPath, int bDir)
{
    return bDir ? RemoveDirectoryW(pwszPath) : DeleteFileW(pwszPath);
}

BOOL SetDisposition(HANDLE h)
{
    FILE_DISPOSITION_INFORMATION disp;
    disp.DoDeleteFile = TRUE;
    IO_STATUS_BLOCK io;
    return HaveNtCalls() &&
           p_NtSetInformationFile(h, &io, &disp, sizeof disp, FileDispositionInformation) >= 0;
}

// Read-only, hidden and system files are made normal first, through the
// handle; not when the file has other names, whose attributes are shared.
void MakeDeletable(HANDLE h, const BY_HANDLE_FILE_INFORMATION* pInfo)
{
    const DWORD dwBlocking =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (!(pInfo->dwFileAttributes & dwBlocking) || pInfo->nNumberOfLinks > 1)
        return;
    FILE_BASIC_INFORMATION basic;
    memset(&basic, 0, sizeof basic); // zero times stay as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    IO_STATUS_BLOCK io;
    p_NtSetInformationFile(h, &io, &basic, sizeof basic, FileBasicInformation);
}

// Case-insensitive * and ? over a name of cch characters; "*.*" is every
// name, as for the system's own file search.
int NameMatches(const WCHAR* pwszName, size_t cch, const WCHAR* pwszPattern)
{
    if (wcscmp(pwszPattern, L"*.*") == 0 || wcscmp(pwszPattern, L"*") == 0)
        return 1;
    size_t i = 0;
    const WCHAR* pStar = NULL;
    size_t iAfterStar = 0;
    while (i < cch) {
        if (*pwszPattern == L'*') {
            pStar = pwszPattern++;
            iAfterStar = i;
        } else if (*pwszPattern != L'\0' &&
                   (*pwszPattern == L'?' || towupper(*pwszPattern) == towupper(pwszName[i]))) {
            ++pwszPattern;
            ++i;
        } else if (pStar != NULL) {
            pwszPattern = pStar + 1;
            i = ++iAfterStar;
        } else {
            return 0;
        }
    }
    while (*pwszPattern == L'*')
        ++pwszPattern;
    return *pwszPattern == L'\0';
}

struct Walk {
    WCHAR* pwszPath; // the held directory's full path, extended while descending
    size_t cchPath;
};

void RemoveEntries(Walk* pWalk, HANDLE hDir, const WCHAR* pwszPattern, int nKinds, int nDepth);

// One entry of a held directory: opened relative to it without following a
// link, then removed through that handle.
void RemoveEntry(Walk* pWalk, HANDLE hDir, const FILE_DIRECTORY_INFORMATION* pEntry, int nKinds,
                 int nDepth)
{
    size_t cchName = pEntry->FileNameLength / sizeof(WCHAR);
    int bDir = (pEntry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!(nKinds & (bDir ? UTL_REMOVE_DIRS : UTL_REMOVE_FILES)) ||
        pWalk->cchPath + 1 + cchName >= WIDE_PATH_MAX)
        return;
    size_t cchParent = pWalk->cchPath;
    pWalk->pwszPath[cchParent] = L'\\';
    memcpy(pWalk->pwszPath + cchParent + 1, pEntry->FileName, cchName * sizeof(WCHAR));
    pWalk->cchPath = cchParent + 1 + cchName;
    pWalk->pwszPath[pWalk->cchPath] = L'\0';

    if (pEntry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLinkByPath(pWalk->pwszPath, bDir);
        goto out;
    }
    {
        WCHAR wszName[256];
        if (cchName >= sizeof wszName / sizeof wszName[0])
            goto out;
        memcpy(wszName, pEntry->FileName, cchName * sizeof(WCHAR));
        ULONG ulKind = bDir ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
        ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES | (bDir ? FILE_LIST_DIRECTORY : 0);
        HANDLE h;
        if (OpenNt(hDir, wszName, cchName, access | FILE_WRITE_ATTRIBUTES, ulKind, FILE_OPEN, NULL,
                   &h) < 0 &&
            OpenNt(hDir, wszName, cchName, access, ulKind, FILE_OPEN, NULL, &h) < 0)
            goto out;
        BY_HANDLE_FILE_INFORMATION info;
        if (HandleShowsLink(h, &info)) {
            CloseHandle(h);
            RemoveLinkByPath(pWalk->pwszPath, bDir);
            goto out;
        }
        if (bDir && nDepth < MAX_DEPTH)
            RemoveEntries(pWalk, h, L"*", UTL_REMOVE_ALL, nDepth + 1);
        if (!bDir)
            MakeDeletable(h, &info);
        SetDisposition(h);
        CloseHandle(h);
    }

out:
    pWalk->cchPath = cchParent;
    pWalk->pwszPath[cchParent] = L'\0';
}

void RemoveEntries(Walk* pWalk, HANDLE hDir, const WCHAR* pwszPattern, int nKinds, int nDepth)
{
    BYTE* pBuf = (BYTE*)HeapAlloc(GetProcessHeap(), 0, LIST_BUF);
    if (pBuf == NULL)
        return;
    for (BOOLEAN bRestart = TRUE;; bRestart = FALSE) {
        IO_STATUS_BLOCK io;
        NTSTATUS status = p_NtQueryDirectoryFile(hDir, NULL, NULL, NULL, &io, pBuf, LIST_BUF,
                                                 FileDirectoryInformation, FALSE, NULL, bRestart);
        if (status < 0 || status == kStatusNoMoreFiles)
            break;
        for (DWORD dwAt = 0;;) {
            const FILE_DIRECTORY_INFORMATION* pEntry =
                (const FILE_DIRECTORY_INFORMATION*)(pBuf + dwAt);
            size_t cch = pEntry->FileNameLength / sizeof(WCHAR);
            int bDot = (cch == 1 && pEntry->FileName[0] == L'.') ||
                       (cch == 2 && pEntry->FileName[0] == L'.' && pEntry->FileName[1] == L'.');
            if (!bDot && NameMatches(pEntry->FileName, cch, pwszPattern))
                RemoveEntry(pWalk, hDir, pEntry, nKinds, nDepth);
            if (pEntry->NextEntryOffset == 0)
                break;
            dwAt += pEntry->NextEntryOffset;
        }
    }
    HeapFree(GetProcessHeap(), 0, pBuf);
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

// A name beside pszName that nothing holds yet: <name>.<tag>.<n>.
NTSTATUS RenameHeld(HANDLE hEntry, HANDLE hParent, const char* pszFullPath, const char* pszName,
                    const char* pszTag, char* pszAside, size_t cbAside)
{
    struct {
        FILE_RENAME_INFORMATION info;
        WCHAR more[MAX_PATH + 64];
    } rename;
    NTSTATUS status = kStatusNameCollision;
    DWORD dwNumber = GetTickCount();
    for (int nTry = 0; nTry < 100 && status == kStatusNameCollision; ++nTry, ++dwNumber) {
        char szNew[MAX_PATH + 64];
        snprintf(szNew, sizeof szNew, "%s.%s.%lu", hParent ? pszName : pszFullPath, pszTag,
                 (unsigned long)dwNumber);
        size_t cch = NtNameOf(hParent, szNew, rename.info.FileName, MAX_PATH + 64);
        if (cch == 0)
            return kStatusObjectNameInvalid;
        rename.info.ReplaceIfExists = FALSE;
        rename.info.RootDirectory = hParent;
        rename.info.FileNameLength = (ULONG)(cch * sizeof(WCHAR));
        IO_STATUS_BLOCK io;
        status = p_NtSetInformationFile(hEntry, &io, &rename, sizeof rename, FileRenameInformation);
        if (status >= 0)
            snprintf(pszAside, cbAside, "%s.%s.%lu", pszFullPath, pszTag, (unsigned long)dwNumber);
    }
    return status;
}

} // namespace

namespace
{

HANDLE OpenDir(const char* pszDir, ACCESS_MASK access)
{
    static WCHAR s_wszPath[WIDE_PATH_MAX];
    if (!ToWidePath(pszDir, s_wszPath, WIDE_PATH_MAX))
        return INVALID_HANDLE_VALUE;
    return CreateFileW(s_wszPath, access, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
}

} // namespace

HANDLE utl_HoldDir(const char* pszDir)
{
    return OpenDir(pszDir, GENERIC_READ);
}

HANDLE utl_HoldDirForRemoval(const char* pszDir)
{
    return OpenDir(pszDir, GENERIC_READ | DELETE);
}

int utl_IsPlainHeldDir(HANDLE hDir, const char* pszDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (HandleShowsLink(hDir, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    DWORD dwPath = GetFileAttributesA(pszDir);
    return dwPath != INVALID_FILE_ATTRIBUTES && !(dwPath & FILE_ATTRIBUTE_REPARSE_POINT);
}

int utl_HasTrustedOwner(HANDLE hObject)
{
    PSID pOwner = NULL;
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (GetSecurityInfo(hObject, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &pOwner, NULL, NULL,
                        NULL, &pSd) != ERROR_SUCCESS)
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

HANDLE utl_MakeNewDir(HANDLE hParent, const char* pszName, const char* pszSddl, DWORD* pdwErr)
{
    HANDLE hDir = INVALID_HANDLE_VALUE;
    PSECURITY_DESCRIPTOR pSd = NULL;
    WCHAR wszName[MAX_PATH + 8];
    size_t cch = NtNameOf(hParent, pszName, wszName, MAX_PATH + 8);
    *pdwErr = ERROR_INVALID_NAME;
    if (cch == 0)
        goto out;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &pSd,
                                                              NULL)) {
        *pdwErr = GetLastError();
        goto out;
    }
    {
        NTSTATUS status = OpenNt(hParent, wszName, cch, GENERIC_READ | WRITE_DAC,
                                 FILE_DIRECTORY_FILE, FILE_CREATE, pSd, &hDir);
        *pdwErr = status >= 0 ? 0 : Win32Error(status);
    }

out:
    if (pSd)
        LocalFree(pSd);
    return hDir;
}

int utl_HeldPathIs(HANDLE hEntry, const char* pszPath)
{
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(GetModuleHandleA("kernel32.dll"),
                                          GetFinalPathNameByHandleW) == NULL)
        return 1;
    WCHAR wszFinal[MAX_PATH + 16], wszWanted[MAX_PATH + 16];
    DWORD cch = p_GetFinalPathNameByHandleW(hEntry, wszFinal, MAX_PATH + 16, 0);
    return cch > 0 && cch < MAX_PATH + 16 && ToWidePath(pszPath, wszWanted, MAX_PATH + 16) &&
           _wcsicmp(wszFinal, wszWanted) == 0;
}

int utl_SetAside(HANDLE hParent, const char* pszParentDir, const char* pszName, const char* pszTag,
                 char* pszAside, size_t cbAside, HANDLE* phAside, DWORD* pdwErr)
{
    static WCHAR s_wszPath[WIDE_PATH_MAX];
    char szFull[MAX_PATH + 1];
    HANDLE hEntry = INVALID_HANDLE_VALUE;
    int bFree = 0;
    pszAside[0] = '\0';
    if (phAside)
        *phAside = INVALID_HANDLE_VALUE;
    *pdwErr = ERROR_INVALID_NAME;
    if (snprintf(szFull, sizeof szFull, "%s\\%s", pszParentDir, pszName) >= (int)sizeof szFull ||
        !ToWidePath(szFull, s_wszPath, WIDE_PATH_MAX) || !HaveNtCalls())
        goto out;

    {
        DWORD dwAttr = GetFileAttributesW(s_wszPath);
        if (dwAttr == INVALID_FILE_ATTRIBUTES) {
            *pdwErr = GetLastError();
            bFree = *pdwErr == ERROR_FILE_NOT_FOUND || *pdwErr == ERROR_PATH_NOT_FOUND;
            goto out;
        }
        int bDir = (dwAttr & FILE_ATTRIBUTE_DIRECTORY) != 0;
        BY_HANDLE_FILE_INFORMATION info;
        if (!(dwAttr & FILE_ATTRIBUTE_REPARSE_POINT)) {
            hEntry = CreateFileW(s_wszPath,
                                 DELETE | FILE_READ_ATTRIBUTES | (bDir ? FILE_LIST_DIRECTORY : 0),
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
            if (hEntry == INVALID_HANDLE_VALUE) {
                *pdwErr = GetLastError();
                goto out;
            }
        }
        if (hEntry == INVALID_HANDLE_VALUE || HandleShowsLink(hEntry, &info)) {
            CloseHandle(hEntry);
            hEntry = INVALID_HANDLE_VALUE;
            bFree = RemoveLinkByPath(s_wszPath, bDir);
            *pdwErr = bFree ? 0 : GetLastError();
            goto out;
        }
        NTSTATUS status = RenameHeld(hEntry, hParent, szFull, pszName, pszTag, pszAside, cbAside);
        bFree = status >= 0;
        *pdwErr = bFree ? 0 : Win32Error(status);
        if (bFree && bDir && phAside) {
            *phAside = hEntry;
            hEntry = INVALID_HANDLE_VALUE;
        }
    }

out:
    if (hEntry != INVALID_HANDLE_VALUE)
        CloseHandle(hEntry);
    return bFree;
}

void utl_RemoveHeldEntries(HANDLE hDir, const char* pszDir, const char* pszPattern, int nKinds)
{
    Walk walk;
    WCHAR wszPattern[MAX_PATH];
    if (!HaveNtCalls() || MultiByteToWideChar(CP_ACP, 0, pszPattern, -1, wszPattern, MAX_PATH) == 0)
        return;
    walk.pwszPath = (WCHAR*)HeapAlloc(GetProcessHeap(), 0, WIDE_PATH_MAX * sizeof(WCHAR));
    if (walk.pwszPath == NULL)
        return;
    if (ToWidePath(pszDir, walk.pwszPath, WIDE_PATH_MAX)) {
        walk.cchPath = wcslen(walk.pwszPath);
        RemoveEntries(&walk, hDir, wszPattern, nKinds, 1);
    }
    HeapFree(GetProcessHeap(), 0, walk.pwszPath);
}

int utl_DeleteHeldDir(HANDLE hDir)
{
    return SetDisposition(hDir) ? 1 : 0;
}
