// Diagnostic logs in c:\KelvoLog: the setup log of the launcher flow and the
// module logs of the utility functions, each one file a day. A day's first
// line removes that log's file of the same weekday from an earlier week, so
// each log keeps seven days of history. The logs never report their own
// failures: a line that cannot be written is lost and the caller goes on.
//
// c:\KelvoLog lies in the root of drive C:, where any user may make a folder
// or a link before the elevated launcher's first run. A line is written only
// into a plain folder, not a link, owned by SYSTEM or Administrators (or by
// the owner this process gives what it makes) or made by this process; any
// other folder is set aside by renaming, never deleted (a support engineer
// may want it), and a new one is made. The folder is held while the line is
// written, so nobody can swap it in between, and a log file that is a link,
// or has other names, is not written through.
#include "log.h"
#include "file_util.h"
#include "held_dir.h"
#include "run_log_lines.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

static const char kLogDir[] = RUN_LOG_DIR;
// Administrators write the logs; users may read them (and send them in).
static const char kLogDacl[] = UTL_PROTECTED_DIR_SDDL;

// The log folder this process made, known by its file id.
static struct {
    int bMade;
    DWORD dwVolume, dwIndexHigh, dwIndexLow;
} s_made;

static int IsFolderMadeHere(HANDLE hDir)
{
    BY_HANDLE_FILE_INFORMATION info;
    return s_made.bMade && GetFileInformationByHandle(hDir, &info) &&
           info.dwVolumeSerialNumber == s_made.dwVolume &&
           info.nFileIndexHigh == s_made.dwIndexHigh && info.nFileIndexLow == s_made.dwIndexLow;
}

static HANDLE MakeLogFolder()
{
    DWORD dwErr = 0;
    HANDLE hDir = utl_MakeNewDir(NULL, kLogDir, kLogDacl, &dwErr);
    BY_HANDLE_FILE_INFORMATION info;
    if (hDir != INVALID_HANDLE_VALUE && GetFileInformationByHandle(hDir, &info)) {
        s_made.bMade = 1;
        s_made.dwVolume = info.dwVolumeSerialNumber;
        s_made.dwIndexHigh = info.nFileIndexHigh;
        s_made.dwIndexLow = info.nFileIndexLow;
    }
    return hDir;
}

// The log folder, held for one line; INVALID_HANDLE_VALUE when there is none
// to write into.
static HANDLE HoldLogFolder()
{
    HANDLE hDir = utl_HoldDir(kLogDir);
    if (hDir != INVALID_HANDLE_VALUE && utl_IsPlainHeldDir(hDir, kLogDir) &&
        (IsFolderMadeHere(hDir) || utl_HasTrustedOwner(hDir)))
        return hDir;
    utl_CloseHandle(&hDir);
    char szAside[MAX_PATH + 64];
    DWORD dwErr = 0;
    if (!utl_SetAside(NULL, "c:", RUN_LOG_DIR_NAME, RUN_LOG_ASIDE_TAG, szAside, sizeof szAside,
                      NULL, &dwErr))
        return INVALID_HANDLE_VALUE;
    return MakeLogFolder();
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
// is at that moment, so concurrent writers cannot overwrite each other.
static HANDLE OpenExistingLog(const char* pszPath)
{
    return CheckedLogFile(CreateFileA(pszPath, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
}

static HANDLE OpenDayLog(const char* pszPath, const char* pszFileBase, WORD wDayOfWeek)
{
    if (utl_FileExists(pszPath))
        return OpenExistingLog(pszPath);

    char szOldWeek[UTL_PATH_BUF];
    int cch = snprintf(szOldWeek, sizeof szOldWeek, "%s*%02u.log", pszFileBase, wDayOfWeek);
    if (cch > 0 && (size_t)cch < sizeof szOldWeek)
        utl_DeleteFilesInDir(kLogDir, szOldWeek);

    HANDLE hFile =
        CreateFileA(pszPath, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, NULL,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    if (hFile == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS)
        hFile = OpenExistingLog(pszPath); // another writer created it meanwhile
    return hFile;
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

    char szPath[UTL_PATH_BUF];
    int cch = snprintf(szPath, sizeof szPath, "%s\\%s%04u%02u%02u%02u.log", kLogDir, pszFileBase,
                       st.wYear, st.wMonth, st.wDay, st.wDayOfWeek);
    HANDLE hFile = INVALID_HANDLE_VALUE;
    if (cch > 0 && (size_t)cch < sizeof szPath)
        hFile = OpenDayLog(szPath, pszFileBase, st.wDayOfWeek);
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
