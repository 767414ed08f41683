// Directories in places any user may write to, handled so that a link, a
// planted entry or a swap between a check and a use never turns what the
// elevated launcher does: checks go through held handles, new directories
// are made and opened in one step, entries are renamed or removed through
// handles opened relative to their held parent, and links are removed as
// links, never entered. The native calls come from ntdll at run time.
#include "held_dir.h"
#include "win_functions.h"

#include <stdio.h>

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
const NTSTATUS kStatusNameNotFound = (NTSTATUS)0xC0000034L;
const NTSTATUS kStatusPathNotFound = (NTSTATUS)0xC000003AL;
const NTSTATUS kStatusNotADirectory = (NTSTATUS)0xC0000103L;

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
// path pwszName when hParent is NULL, sharing as ulShare says.
NTSTATUS OpenNtShared(HANDLE hParent, WCHAR* pwszName, size_t cch, ACCESS_MASK access,
                      ULONG ulShare, ULONG ulOptions, ULONG ulDisposition, PSECURITY_DESCRIPTOR pSd,
                      HANDLE* phOut)
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
    NTSTATUS status = p_NtCreateFile(&h, access | SYNCHRONIZE, &attrs, &io, NULL,
                                     FILE_ATTRIBUTE_NORMAL, ulShare, ulDisposition,
                                     ulOptions | FILE_OPEN_REPARSE_POINT |
                                         FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT,
                                     NULL, 0);
    if (status >= 0)
        *phOut = h;
    return status;
}

NTSTATUS OpenNt(HANDLE hParent, WCHAR* pwszName, size_t cch, ACCESS_MASK access, ULONG ulOptions,
                ULONG ulDisposition, PSECURITY_DESCRIPTOR pSd, HANDLE* phOut)
{
    return OpenNtShared(hParent, pwszName, cch, access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        ulOptions, ulDisposition, pSd, phOut);
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

BOOL SetDisposition(HANDLE h)
{
    FILE_DISPOSITION_INFORMATION disp;
    disp.DoDeleteFile = TRUE;
    IO_STATUS_BLOCK io;
    return HaveNtCalls() &&
           p_NtSetInformationFile(h, &io, &disp, sizeof disp, FileDispositionInformation) >= 0;
}

// A link goes through a handle opened on the link itself (never through its
// path, whose folders may have become links since they were checked), and
// only when that handle shows the link: a handle that describes what the link
// leads to (Wine opens the target) is never deleted through.
BOOL RemoveLinkThroughHandle(HANDLE h)
{
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(h, &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && SetDisposition(h);
}

// The link pwszName of the held hDir, opened relative to it as a link.
BOOL RemoveLinkIn(HANDLE hDir, WCHAR* pwszName, size_t cch)
{
    HANDLE h;
    if (OpenNt(hDir, pwszName, cch, DELETE | FILE_READ_ATTRIBUTES, 0, FILE_OPEN, NULL, &h) < 0)
        return FALSE;
    BOOL bRemoved = RemoveLinkThroughHandle(h);
    CloseHandle(h);
    return bRemoved;
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

void RemoveEntries(HANDLE hDir, const WCHAR* pwszPattern, int nKinds, int nDepth);

// One entry of a held directory: opened relative to it without following a
// link, then removed through that handle. Nothing is named by a path: a
// folder above that was emptied and made a mount point since it was checked
// cannot send a removal elsewhere.
void RemoveEntry(HANDLE hDir, const FILE_DIRECTORY_INFORMATION* pEntry, int nKinds, int nDepth)
{
    size_t cchName = pEntry->FileNameLength / sizeof(WCHAR);
    int bDir = (pEntry->FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    WCHAR wszName[256];
    if (!(nKinds & (bDir ? UTL_REMOVE_DIRS : UTL_REMOVE_FILES)) ||
        cchName >= sizeof wszName / sizeof wszName[0])
        return;
    memcpy(wszName, pEntry->FileName, cchName * sizeof(WCHAR));
    if (pEntry->FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        RemoveLinkIn(hDir, wszName, cchName);
        return;
    }
    ULONG ulKind = bDir ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
    ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES | (bDir ? FILE_LIST_DIRECTORY : 0);
    HANDLE h;
    if (OpenNt(hDir, wszName, cchName, access | FILE_WRITE_ATTRIBUTES, ulKind, FILE_OPEN, NULL,
               &h) < 0 &&
        OpenNt(hDir, wszName, cchName, access, ulKind, FILE_OPEN, NULL, &h) < 0)
        return;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info)) {
        // An entry that became a link after the listing is that link here.
        int bLink = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        if (bDir && !bLink && nDepth < MAX_DEPTH)
            RemoveEntries(h, L"*", UTL_REMOVE_ALL, nDepth + 1);
        if (!bDir && !bLink)
            MakeDeletable(h, &info);
        SetDisposition(h);
    }
    CloseHandle(h);
}

void RemoveEntries(HANDLE hDir, const WCHAR* pwszPattern, int nKinds, int nDepth)
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
                RemoveEntry(hDir, pEntry, nKinds, nDepth);
            if (pEntry->NextEntryOffset == 0)
                break;
            dwAt += pEntry->NextEntryOffset;
        }
    }
    HeapFree(GetProcessHeap(), 0, pBuf);
}

// The directory entry pwszName of the held hDir as the listing shows it:
// Wine marks a Unix link as a reparse point there, though a handle opened
// on it describes the link's target.
int EntryAttributes(HANDLE hDir, WCHAR* pwszName, size_t cch, ULONG* pulAttributes)
{
    // A listing keeps the first mask its handle was given, so the mask goes
    // to a handle of its own on the same directory.
    HANDLE hList;
    if (OpenNt(hDir, NULL, 0, FILE_LIST_DIRECTORY, FILE_DIRECTORY_FILE, FILE_OPEN, NULL, &hList) <
        0)
        return 0;
    struct {
        FILE_DIRECTORY_INFORMATION info;
        WCHAR more[MAX_PATH];
    } entry;
    UNICODE_STRING mask;
    SetName(&mask, pwszName, cch);
    IO_STATUS_BLOCK io;
    NTSTATUS status = p_NtQueryDirectoryFile(hList, NULL, NULL, NULL, &io, &entry, sizeof entry,
                                             FileDirectoryInformation, TRUE, &mask, TRUE);
    CloseHandle(hList);
    if (status < 0 || status == kStatusNoMoreFiles)
        return 0;
    *pulAttributes = entry.info.FileAttributes;
    return 1;
}

// A name beside pszName in the held hParent that nothing holds yet:
// <name>.<tag>.<n>; pszAside gets its full path.
NTSTATUS RenameHeld(HANDLE hEntry, HANDLE hParent, const char* pszParentDir, const char* pszName,
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
        snprintf(szNew, sizeof szNew, "%s.%s.%lu", pszName, pszTag, (unsigned long)dwNumber);
        size_t cch = NtNameOf(hParent, szNew, rename.info.FileName, MAX_PATH + 64);
        if (cch == 0)
            return kStatusObjectNameInvalid;
        rename.info.ReplaceIfExists = FALSE;
        rename.info.RootDirectory = hParent;
        rename.info.FileNameLength = (ULONG)(cch * sizeof(WCHAR));
        IO_STATUS_BLOCK io;
        status = p_NtSetInformationFile(hEntry, &io, &rename, sizeof rename, FileRenameInformation);
        if (status >= 0)
            snprintf(pszAside, cbAside, "%s\\%s", pszParentDir, szNew);
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

HANDLE utl_OpenFileInHeldDir(HANDLE hDir, const char* pszName, DWORD dwAccess, DWORD dwShare,
                             int bCreateNew, DWORD* pdwErr)
{
    HANDLE hFile = INVALID_HANDLE_VALUE;
    WCHAR wszName[MAX_PATH + 8];
    size_t cch = NtNameOf(hDir, pszName, wszName, MAX_PATH + 8);
    if (cch == 0) {
        *pdwErr = ERROR_INVALID_NAME;
        return hFile;
    }
    NTSTATUS status = OpenNtShared(hDir, wszName, cch, dwAccess, dwShare, FILE_NON_DIRECTORY_FILE,
                                   bCreateNew ? FILE_CREATE : FILE_OPEN, NULL, &hFile);
    *pdwErr = status >= 0                      ? 0
              : status == kStatusNameCollision ? ERROR_FILE_EXISTS
              : status == kStatusNameNotFound  ? ERROR_FILE_NOT_FOUND
                                               : Win32Error(status);
    return hFile;
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

namespace
{

// Opens the entry relative to the held parent as itself (a link as the
// link), as a directory that can be listed where it is one.
NTSTATUS OpenEntry(HANDLE hParent, WCHAR* pwszName, size_t cch, HANDLE* phEntry)
{
    const ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES;
    NTSTATUS status = OpenNt(hParent, pwszName, cch, access | FILE_LIST_DIRECTORY,
                             FILE_DIRECTORY_FILE, FILE_OPEN, NULL, phEntry);
    if (status == kStatusNotADirectory)
        status = OpenNt(hParent, pwszName, cch, access, FILE_NON_DIRECTORY_FILE, FILE_OPEN, NULL,
                        phEntry);
    return status;
}

// A link at the name is removed through a handle on the link; anything else
// is renamed through a handle on it. Nothing is named by a path.
int SetAsideEntry(HANDLE hParent, const char* pszParentDir, const char* pszName, WCHAR* pwszName,
                  size_t cch, const char* pszTag, int bHoldDir, UtlAside* pAside)
{
    HANDLE hEntry = INVALID_HANDLE_VALUE;
    NTSTATUS status = OpenEntry(hParent, pwszName, cch, &hEntry);
    if (status == kStatusNameNotFound || status == kStatusPathNotFound)
        return 1;
    int bFree = 0;
    BY_HANDLE_FILE_INFORMATION info;
    ULONG ulListed = 0;
    if (status < 0) {
        pAside->dwErr = Win32Error(status);
    } else if (!GetFileInformationByHandle(hEntry, &info) ||
               !EntryAttributes(hParent, pwszName, cch, &ulListed)) {
        pAside->dwErr = GetLastError();
    } else if ((info.dwFileAttributes | ulListed) & FILE_ATTRIBUTE_REPARSE_POINT) {
        pAside->bWasLink = 1;
        bFree = RemoveLinkThroughHandle(hEntry);
        pAside->dwErr = bFree ? 0 : ERROR_ACCESS_DENIED;
    } else {
        status = RenameHeld(hEntry, hParent, pszParentDir, pszName, pszTag, pAside->szAside,
                            sizeof pAside->szAside);
        bFree = status >= 0;
        pAside->dwErr = bFree ? 0 : Win32Error(status);
        if (bFree && bHoldDir && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            pAside->hAside = hEntry;
            hEntry = INVALID_HANDLE_VALUE;
        }
    }
    if (hEntry != INVALID_HANDLE_VALUE)
        CloseHandle(hEntry);
    return bFree;
}

} // namespace

int utl_SetAside(HANDLE hParent, const char* pszParentDir, const char* pszName, const char* pszTag,
                 int bHoldDir, UtlAside* pAside)
{
    pAside->szAside[0] = '\0';
    pAside->bWasLink = 0;
    pAside->hAside = INVALID_HANDLE_VALUE;
    pAside->dwErr = ERROR_INVALID_NAME;
    WCHAR wszName[MAX_PATH + 8];
    size_t cch = NtNameOf(hParent, pszName, wszName, MAX_PATH + 8);
    if (hParent == NULL || hParent == INVALID_HANDLE_VALUE || cch == 0 || !HaveNtCalls())
        return 0;
    pAside->dwErr = 0;
    return SetAsideEntry(hParent, pszParentDir, pszName, wszName, cch, pszTag, bHoldDir, pAside);
}

void utl_RemoveHeldEntries(HANDLE hDir, const char* pszPattern, int nKinds)
{
    WCHAR wszPattern[MAX_PATH];
    if (HaveNtCalls() && MultiByteToWideChar(CP_ACP, 0, pszPattern, -1, wszPattern, MAX_PATH) > 0)
        RemoveEntries(hDir, wszPattern, nKinds, 1);
}

int utl_DeleteHeldDir(HANDLE hDir)
{
    return SetDisposition(hDir) ? 1 : 0;
}

int utl_RemoveHeldLink(HANDLE hLink)
{
    return HaveNtCalls() && RemoveLinkThroughHandle(hLink) ? 1 : 0;
}
