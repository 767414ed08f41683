// Starting the extracted programs and following them by process name only:
// the launcher keeps no handle to what it starts.
#include "launch_steps.h"
#include "../util/file_util.h"
#include "../util/proc_check.h"

#include <shellapi.h>

void StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow)
{
    char szPath[UTL_PATH_BUF];
    if (utl_JoinPath(szPath, sizeof szPath, pszDir, pszName))
        ShellExecuteA(NULL, NULL, szPath, pszParams, NULL, nShow);
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
