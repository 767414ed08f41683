// Starting the extracted programs and following them by process name only:
// the launcher keeps no handle to what it starts.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"
#include "proc_check.h"

#include <shellapi.h>
#include <stdio.h>

int StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow)
{
    char szPath[UTL_PATH_BUF];
    INT_PTR nResult = 0;
    if (utl_JoinPath(szPath, sizeof szPath, pszDir, pszName))
        nResult = (INT_PTR)ShellExecuteA(NULL, NULL, szPath, pszParams, NULL, nShow);
    if (nResult > 32)
        return 1;
    char szLine[MAX_PATH + 64];
    snprintf(szLine, sizeof szLine, "StartExtracted: %s cannot be started, code %d.", pszName,
             (int)nResult);
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
