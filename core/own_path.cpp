// Where the launcher runs from, the one handle through which it reads its
// own file, and whether that file is long enough to carry a package behind
// the program image.
#include "launch_steps.h"
#include "package.h"
#include "file_util.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

// The longest path the system gives, with room for a long-path prefix.
enum { OWN_WIDE_MAX = 32768 };

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
    return CreateFileW(pwszName, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

// A running program's file can be renamed by anyone who may delete it, and
// another file put at its name, while a start check or the password dialog
// waits. So the file is opened at the launcher's first step: held without
// delete sharing, it can no longer be renamed, and the package is read from
// the file that was started. A handle never taken closes as the process ends.
static HANDLE s_hOwnImage = INVALID_HANDLE_VALUE;
static DWORD s_dwOwnImageErr = 0;

void HoldOwnImage()
{
    s_hOwnImage = OpenOwnImage();
    s_dwOwnImageErr = s_hOwnImage == INVALID_HANDLE_VALUE ? GetLastError() : 0;
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
