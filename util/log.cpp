// Diagnostic logs in c:\KelvoLog: the setup log of the launcher flow and the
// module logs of the utility functions, each one file a day. A day's first
// line removes that log's file of the same weekday from an earlier week, so
// each log keeps seven days of history. The logs never report their own
// failures: a line that cannot be written is lost and the caller goes on.
//
// c:\KelvoLog lies in the root of drive C:, where any user may make a folder
// or a link before the elevated launcher's first run, and where a folder made
// with default security lets every user change what is in it. A line is
// written only into a plain folder, not a link, that nobody but SYSTEM and
// Administrators may change, or one made by this process; any other folder
// is set aside by renaming, never deleted (a support engineer may want it),
// and a new one is made. The folder is held while the line is written, and
// its files are opened, and old ones removed, through handles relative to
// it, so that nobody can swap it or mount it elsewhere in between; a log file
// that is a link, or has other names, is not written through.
#include "log.h"
#include "file_util.h"
#include "held_dir.h"
#include "object_trust.h"
#include "run_log_lines.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static const char kLogDir[] = RUN_LOG_DIR;
static const char kLogDrive[] = "c:";
static const char kLogDriveRoot[] = "c:\\";
// Administrators write the logs; users may read them (and send them in).
static const char kLogDacl[] = UTL_PROTECTED_DIR_SDDL;

// The log folder this process made or found trusted, known by its file id:
// nobody else may change its security, so it stays trusted.
static struct {
    int bKnown;
    DWORD dwVolume, dwIndexHigh, dwIndexLow;
} s_trusted;

static int IsTrustedFolder(HANDLE hDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    return s_trusted.bKnown && GetFileInformationByHandle(hDir, &info) &&
           info.dwVolumeSerialNumber == s_trusted.dwVolume &&
           info.nFileIndexHigh == s_trusted.dwIndexHigh &&
           info.nFileIndexLow == s_trusted.dwIndexLow;
}

static void TrustFolder(HANDLE hDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(hDir, &info))
        return;
    s_trusted.bKnown = 1;
    s_trusted.dwVolume = info.dwVolumeSerialNumber;
    s_trusted.dwIndexHigh = info.nFileIndexHigh;
    s_trusted.dwIndexLow = info.nFileIndexLow;
}

// Whatever stands at the name is set aside and a new folder made, both
// relative to the held root of the drive.
static HANDLE ReplaceLogFolder()
{
    HANDLE hRoot = utl_HoldDir(kLogDriveRoot);
    if (hRoot == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    UtlAside aside;
    DWORD dwErr = 0;
    HANDLE hDir = INVALID_HANDLE_VALUE;
    if (utl_SetAside(hRoot, kLogDrive, RUN_LOG_DIR_NAME, RUN_LOG_ASIDE_TAG, 0, &aside))
        hDir = utl_MakeNewDir(hRoot, RUN_LOG_DIR_NAME, kLogDacl, &dwErr);
    CloseHandle(hRoot);
    if (hDir != INVALID_HANDLE_VALUE)
        TrustFolder(hDir);
    return hDir;
}

// The log folder, held for one line; INVALID_HANDLE_VALUE when there is none
// to write into.
static HANDLE HoldLogFolder()
{
    HANDLE hDir = utl_HoldDir(kLogDir);
    if (hDir != INVALID_HANDLE_VALUE && utl_IsPlainHeldDir(hDir, kLogDir)) {
        if (IsTrustedFolder(hDir))
            return hDir;
        if (utl_OnlyAdminsMayChange(hDir)) {
            TrustFolder(hDir);
            return hDir;
        }
    }
    utl_CloseHandle(&hDir);
    return ReplaceLogFolder();
}

// A log file is written only as itself: not through a link, and not when
// it has other names, which could be a file anywhere.
static HANDLE CheckedLogFile(HANDLE hFile)
{
    if (hFile != INVALID_HANDLE_VALUE && !utl_IsPlainFileOfOneName(hFile))
        utl_CloseHandle(&hFile);
    return hFile;
}

int g_bLogDetail = 0;

// Opened for appending only: every write lands at the end of the file as it
// is at that moment, so concurrent writers cannot overwrite each other. A
// day's first line removes that log's file of the same weekday from an
// earlier week, and creates the file sharing it for reading only.
static HANDLE OpenDayLog(HANDLE hDir, const char* pszName, const char* pszFileBase, WORD wDayOfWeek)
{
    const DWORD dwAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
    DWORD dwErr = 0;
    HANDLE hFile = utl_OpenFileInHeldDir(hDir, pszName, dwAccess,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, 0, &dwErr);
    if (hFile == INVALID_HANDLE_VALUE && dwErr == ERROR_FILE_NOT_FOUND) {
        char szOldWeek[UTL_PATH_BUF];
        int cch = snprintf(szOldWeek, sizeof szOldWeek, "%s*%02u.log", pszFileBase, wDayOfWeek);
        if (cch > 0 && (size_t)cch < sizeof szOldWeek)
            utl_RemoveHeldEntries(hDir, szOldWeek, UTL_REMOVE_FILES);
        hFile = utl_OpenFileInHeldDir(hDir, pszName, dwAccess, FILE_SHARE_READ, 1, &dwErr);
        if (hFile == INVALID_HANDLE_VALUE && dwErr == ERROR_FILE_EXISTS) // another writer made it
            hFile = utl_OpenFileInHeldDir(hDir, pszName, dwAccess,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, 0, &dwErr);
    }
    return CheckedLogFile(hFile);
}

// The whole line goes out in one write so that lines of concurrent writers
// never interleave; only when no buffer can be had is it written in pieces.
static void WriteLine(HANDLE hFile, const char* pszPrefix, size_t cchPrefix, const char* pszText)
{
    size_t cchText = strlen(pszText);
    size_t cbLine = cchPrefix + cchText + 2;
    DWORD dwDone;
    char szSmall[512];
    char* pLine =
        cbLine <= sizeof szSmall ? szSmall : (char*)HeapAlloc(GetProcessHeap(), 0, cbLine);
    if (pLine == NULL) {
        WriteFile(hFile, pszPrefix, (DWORD)cchPrefix, &dwDone, NULL);
        WriteFile(hFile, pszText, (DWORD)cchText, &dwDone, NULL);
        WriteFile(hFile, "\r\n", 2, &dwDone, NULL);
    } else {
        memcpy(pLine, pszPrefix, cchPrefix);
        memcpy(pLine + cchPrefix, pszText, cchText);
        memcpy(pLine + cchPrefix + cchText, "\r\n", 2);
        WriteFile(hFile, pLine, (DWORD)cbLine, &dwDone, NULL);
    }
    if (pLine != NULL && pLine != szSmall)
        HeapFree(GetProcessHeap(), 0, pLine);
}

void utl_AppendLogLine(const char* pszFileBase, int bModuleLog, int bDetail, const char* pszText)
{
    HANDLE hDir = HoldLogFolder();
    if (hDir == INVALID_HANDLE_VALUE)
        return;

    SYSTEMTIME st; // one reading serves both the file name and the line
    GetLocalTime(&st);

    char szName[UTL_PATH_BUF];
    int cch = snprintf(szName, sizeof szName, "%s%04u%02u%02u%02u.log", pszFileBase, st.wYear,
                       st.wMonth, st.wDay, st.wDayOfWeek);
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (cch > 0 && (size_t)cch < sizeof szName)
        hFile = OpenDayLog(hDir, szName, pszFileBase, st.wDayOfWeek);
    if (hFile == INVALID_HANDLE_VALUE) {
        CloseHandle(hDir);
        return;
    }

    char szPrefix[96];
    int cchTime =
        snprintf(szPrefix, sizeof szPrefix, "[%04u-%02u-%02u %02u:%02u:%02u] %s", st.wYear,
                 st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, bDetail ? "[DTL] " : "");
    int cchThread = snprintf(szPrefix + cchTime, sizeof szPrefix - cchTime,
                             bModuleLog ? "[0x%x] " : "[%x] ", (unsigned)GetCurrentThreadId());
    WriteLine(hFile, szPrefix, (size_t)(cchTime + cchThread), pszText);
    CloseHandle(hFile);
    CloseHandle(hDir);
}

// The main steps of the launcher flow, in setup<yyyymmdd><weekday>.log.
void WriteSetupLog(const char* pszText)
{
    utl_AppendLogLine("setup", 0, 0, pszText);
}

// One file a day per module, named stp_<module><yyyymmdd><weekday>.log.
// Detail lines are dropped before any file work unless the detail switch is
// on.
void utl_WriteModuleLog(const char* pszModule, const char* pszText, int bDetail)
{
    if (bDetail && !g_bLogDetail)
        return;
    char szBase[UTL_PATH_BUF];
    int cch = snprintf(szBase, sizeof szBase, "stp_%s", pszModule);
    if (cch < 0 || (size_t)cch >= sizeof szBase)
        return;
    utl_AppendLogLine(szBase, 1, bDetail, pszText);
}

void utl_ModuleLogF(const ModuleLog* pLog, const char* pszFormat, ...)
{
    if (!pLog->bOn)
        return;
    char szLine[1024];
    int cchPrefix = snprintf(szLine, sizeof szLine, "%s", pLog->pszPrefix);
    if (cchPrefix >= 0 && (size_t)cchPrefix < sizeof szLine) {
        va_list args;
        va_start(args, pszFormat);
        vsnprintf(szLine + cchPrefix, sizeof szLine - cchPrefix, pszFormat, args);
        va_end(args);
    }
    utl_WriteModuleLog(pLog->pszModule, szLine, 0);
}
