// Starting the extracted programs and following them by process name. Only
// the inner installer's process handle is kept, to read its exit code once
// the name has gone; the waits themselves go by name alone.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"
#include "proc_check.h"

#include <shellapi.h>
#include <stdio.h>

// The shell shows no box of its own when a start fails: nobody may be
// there to answer it, and the failure is logged with its code.
int StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow,
                   HANDLE* phProcess)
{
    char szPath[UTL_PATH_BUF];
    SHELLEXECUTEINFOA sei;
    ZeroMemory(&sei, sizeof sei);
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_FLAG_NO_UI | (phProcess != NULL ? SEE_MASK_NOCLOSEPROCESS : 0);
    sei.lpFile = szPath;
    sei.lpParameters = pszParams;
    sei.nShow = nShow;
    BOOL bStarted = utl_JoinPath(szPath, sizeof szPath, pszDir, pszName) && ShellExecuteExA(&sei);
    if (phProcess != NULL && sei.hProcess != NULL)
        *phProcess = sei.hProcess;
    if (bStarted)
        return 1;
    char szLine[MAX_PATH + 64];
    snprintf(szLine, sizeof szLine, "StartExtracted: %s cannot be started, code %d.", pszName,
             (int)(INT_PTR)sei.hInstApp);
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
