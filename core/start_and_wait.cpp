// Starting the extracted programs and following them by process name. The
// waits go by name alone; the process handles are kept, the inner
// installer's to read its exit code once the name has gone.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"
#include "proc_check.h"

#include <stdio.h>
#include <wchar.h>

namespace
{

// The extracted programs' paths and arguments as the wide calls take them.
enum { START_WIDE_MAX = 2 * MAX_PATH + 64 };

int ToWide(const char* pszText, WCHAR* pwszOut, int cchOut)
{
    return MultiByteToWideChar(CP_ACP, 0, pszText, -1, pwszOut, cchOut) > 0;
}

// "<path>" <params>, the command line a program finds its own path in.
int CommandLine(const WCHAR* pwszPath, const char* pszParams, WCHAR* pwszOut, size_t cchOut)
{
    WCHAR wszParams[START_WIDE_MAX] = L"";
    if (pszParams != NULL && !ToWide(pszParams, wszParams, START_WIDE_MAX))
        return 0;
    int cch =
        swprintf(pwszOut, cchOut, L"\"%ls\"%ls%ls", pwszPath, wszParams[0] ? L" " : L"", wszParams);
    return cch > 0 && (size_t)cch < cchOut;
}

} // namespace

// The program is named by its full path and started by the system itself,
// never looked up: the shell would consult file associations, the user's
// own among them. It runs in the work directory, which only administrators
// may write, so a DLL or file it asks for by a bare name is never taken
// from the folder the launcher was started from.
int StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow,
                   HANDLE* phProcess)
{
    char szPath[UTL_PATH_BUF];
    WCHAR wszPath[MAX_PATH + 1], wszDir[MAX_PATH + 1], wszCmd[START_WIDE_MAX];
    STARTUPINFOW si;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = (WORD)nShow;
    PROCESS_INFORMATION pi;
    ZeroMemory(&pi, sizeof pi);
    BOOL bStarted = utl_JoinPath(szPath, sizeof szPath, pszDir, pszName) &&
                    ToWide(szPath, wszPath, MAX_PATH + 1) && ToWide(pszDir, wszDir, MAX_PATH + 1) &&
                    CommandLine(wszPath, pszParams, wszCmd, START_WIDE_MAX) &&
                    CreateProcessW(wszPath, wszCmd, NULL, NULL, FALSE, 0, NULL, wszDir, &si, &pi);
    if (bStarted) {
        CloseHandle(pi.hThread);
        if (phProcess != NULL)
            *phProcess = pi.hProcess;
        else
            CloseHandle(pi.hProcess);
        return 1;
    }
    char szLine[MAX_PATH + 64];
    snprintf(szLine, sizeof szLine, "StartExtracted: %s cannot be started, err %lu.", pszName,
             (unsigned long)GetLastError());
    WriteSetupLog(szLine);
    return 0;
}

DWORD WaitForStart(const char* pszName)
{
    DWORD dwWaits = 0;
    while (chkProcExist("waitSetup", pszName) != PROC_RUNNING && dwWaits < 600) {
        Sleep(50);
        ++dwWaits;
    }
    return dwWaits;
}

DWORD WaitForEnd(const char* pszName)
{
    DWORD dwWaits = 0;
    while (chkProcExist("waitSetup", pszName) == PROC_RUNNING) {
        Sleep(500);
        ++dwWaits;
    }
    return dwWaits;
}
