// Where the launcher runs from, the one handle through which it reads its
// own file, and whether that file is long enough to carry a package behind
// the program image.
#include "launch_steps.h"
#include "package.h"
#include "file_util.h"
#include "log.h"
#include "win_functions.h"

#include <stdio.h>
#include <string.h>
#include <winternl.h>

// The longest path the system gives, with room for a long-path prefix.
enum { OWN_WIDE_MAX = 32768 };

// Not in the headers the launchers build with.
enum { MEMORY_MAPPED_FILE_NAME_INFORMATION = 2 };
DECL_WINDOWS_FUNCTION(static, NTSTATUS, NtQueryVirtualMemory,
                      (HANDLE, PVOID, int, PVOID, SIZE_T, PSIZE_T));

void GetOwnPath(OwnPath* pOwn)
{
    memset(pOwn, 0, sizeof *pOwn);
    GetModuleFileNameA(NULL, pOwn->szFull, sizeof pOwn->szFull - 1);
    char* pszSlash = strrchr(pOwn->szFull, '\\');
    if (pszSlash == NULL) {
        strcpy(pOwn->szFile, pOwn->szFull);
        return;
    }
    memcpy(pOwn->szDir, pOwn->szFull, pszSlash - pOwn->szFull);
    strcpy(pOwn->szFile, pszSlash + 1);
}

// The ANSI path can be cut (a path longer than MAX_PATH) or hold '?' for
// characters the code page lacks, a wildcard to any file search: a file of
// the current directory, the starting process's choice, could answer to it.
// The wide path is the system's own name for the running file; it is opened
// as it is, never searched for. Longer paths need the long-path prefix.
static HANDLE OpenOwnImage()
{
    static WCHAR s_wszPath[OWN_WIDE_MAX + 8];
    WCHAR* pwszName = s_wszPath + 8; // room for "\\?\UNC\" before the name
    DWORD cch = GetModuleFileNameW(NULL, pwszName, OWN_WIDE_MAX);
    if (cch == 0 || cch >= OWN_WIDE_MAX)
        return INVALID_HANDLE_VALUE;
    if (cch >= MAX_PATH && wcsncmp(pwszName, L"\\\\?\\", 4) != 0) {
        if (wcsncmp(pwszName, L"\\\\", 2) == 0) { // \\server\share\... -> \\?\UNC\server\...
            pwszName -= 6;
            memcpy(pwszName, L"\\\\?\\UNC", 7 * sizeof(WCHAR));
        } else {
            pwszName -= 4;
            memcpy(pwszName, L"\\\\?\\", 4 * sizeof(WCHAR));
        }
    }
    // Shared for reading only: nobody can rewrite the payload between records.
    // Execute access lets the file be mapped as an image, to compare it with
    // the one that runs.
    return CreateFileW(pwszName, GENERIC_READ | FILE_EXECUTE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

DECL_WINDOWS_FUNCTION(static, NTSTATUS, NtAreMappedFilesTheSame, (PVOID, PVOID));

// The path names a file, not the one the process was made from: between the
// process's creation and this open, whoever may rename the file can put
// another one at its name. The system tells whether two mapped views are of
// one file, so the opened file, mapped as an image, is compared with the
// image that runs. A file that cannot be mapped as an image is another one.
static int IsFileOfRunningImage(HANDLE hFile)
{
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(GetModuleHandleA("ntdll.dll"), NtAreMappedFilesTheSame) ==
        NULL)
        return 0;
    HANDLE hMap = CreateFileMappingW(hFile, NULL, PAGE_READONLY | SEC_IMAGE, 0, 0, NULL);
    if (hMap == NULL)
        return 0;
    void* pView = MapViewOfFile(hMap, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(hMap);
    if (pView == NULL)
        return 0;
    int bSame = p_NtAreMappedFilesTheSame(GetModuleHandleW(NULL), pView) >= 0;
    UnmapViewOfFile(pView);
    return bSame;
}

// A running program's file can be renamed by anyone who may delete it, and
// another file put at its name, while a start check or the password dialog
// waits. So the file is opened at the launcher's first step: held without
// delete sharing, it can no longer be renamed, and the package is read from
// the file that was started, once it is shown to be that file. A handle
// never taken closes as the process ends.
static HANDLE s_hOwnImage = INVALID_HANDLE_VALUE;
static DWORD s_dwOwnImageErr = 0;
static int s_bOwnImageReplaced = 0;

void HoldOwnImage()
{
    s_hOwnImage = OpenOwnImage();
    s_dwOwnImageErr = s_hOwnImage == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (s_hOwnImage != INVALID_HANDLE_VALUE && !IsFileOfRunningImage(s_hOwnImage)) {
        utl_CloseHandle(&s_hOwnImage);
        s_dwOwnImageErr = ERROR_FILE_INVALID;
        s_bOwnImageReplaced = 1;
    }
}

// Where the system says the running image was mapped from now (a device
// path, as the kernel names files; it follows renames), for the log line.
static void GetRunningImageName(char* pszOut, size_t cbOut)
{
    static struct {
        UNICODE_STRING name;
        WCHAR wsz[OWN_WIDE_MAX];
    } mapped;
    SIZE_T cbReturned = 0;
    strcpy(pszOut, "(unknown)");
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(GetModuleHandleA("ntdll.dll"), NtQueryVirtualMemory) ==
            NULL ||
        p_NtQueryVirtualMemory(GetCurrentProcess(), GetModuleHandleW(NULL),
                               MEMORY_MAPPED_FILE_NAME_INFORMATION, &mapped, sizeof mapped,
                               &cbReturned) < 0)
        return;
    int cch = WideCharToMultiByte(CP_ACP, 0, mapped.name.Buffer, mapped.name.Length / sizeof(WCHAR),
                                  pszOut, (int)cbOut - 1, NULL, NULL);
    pszOut[cch > 0 ? cch : 0] = '\0';
}

int OwnImageIsTheRunningFile()
{
    if (!s_bOwnImageReplaced)
        return 1;
    OwnPath own;
    GetOwnPath(&own);
    char szRunning[MAX_PATH + 64];
    GetRunningImageName(szRunning, sizeof szRunning);
    char szLine[2 * MAX_PATH + 160];
    snprintf(szLine, sizeof szLine,
             "HoldOwnImage: %s is not the file this launcher runs from, which is now %s; "
             "nothing is extracted from it.",
             own.szFull, szRunning);
    WriteSetupLog(szLine);
    return 0;
}

HANDLE TakeOwnImage(DWORD* pdwOpenErr)
{
    HANDLE hOwn = s_hOwnImage;
    s_hOwnImage = INVALID_HANDLE_VALUE;
    *pdwOpenErr = s_dwOwnImageErr;
    return hOwn;
}

static void LogUnreadable(const OwnPath* pOwn, DWORD dwErr)
{
    char szLine[MAX_PATH + 64];
    snprintf(szLine, sizeof szLine, "CheckOwnSize: %s cannot be read, err %lu.", pOwn->szFull,
             (unsigned long)dwErr);
    WriteSetupLog(szLine);
}

int CheckOwnSize(const OwnPath* pOwn, HANDLE hOwn, DWORD dwOpenErr)
{
    // Support staff still see the path the launcher reports for itself when
    // no file answers to it; the package is read through hOwn all the same.
    if (!utl_FileExists(pOwn->szFull))
        WriteSetupLog(pOwn->szFull);
    if (hOwn == INVALID_HANDLE_VALUE) {
        LogUnreadable(pOwn, dwOpenErr);
        return 0;
    }
    LARGE_INTEGER size;
    if (!GetFileSizeEx(hOwn, &size)) {
        LogUnreadable(pOwn, GetLastError());
        return 0;
    }
    return size.QuadPart > PKG_OFFSET && size.QuadPart <= 0xFFFFFFFFll;
}
