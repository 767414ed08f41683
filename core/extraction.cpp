// The extraction sequence both launchers share: the package behind the own
// image goes into the held work directory, and the inner installer found
// there is started and followed by name until it has gone; then its exit
// code is read from the process handle kept since its start.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"
#include "run_log_lines.h"
#include "package.h"

#include <stdio.h>

void EndExtraction(Extraction* pEx)
{
    utl_CloseHandle(&pEx->hOwn);
    ReleaseWorkDir(&pEx->hold);
}

int RunExtraction(int (*pfnSequence)(Extraction* pEx, DWORD* pdwErr), DWORD* pdwErr,
                  DWORD* pdwInstallerExit)
{
    Extraction ex;
    ex.szWorkDir[0] = '\0';
    ex.hold.hTmp = INVALID_HANDLE_VALUE;
    ex.hold.hWork = INVALID_HANDLE_VALUE;
    ex.hOwn = INVALID_HANDLE_VALUE;
    ex.hHelper = INVALID_HANDLE_VALUE;
    ex.hInstaller = INVALID_HANDLE_VALUE;
    ex.dwInstallerExit = 0;
    int bResult = pfnSequence(&ex, pdwErr);
    EndExtraction(&ex);
    utl_CloseHandle(&ex.hHelper);
    utl_CloseHandle(&ex.hInstaller);
    *pdwInstallerExit = bResult ? ex.dwInstallerExit : 0;
    return bResult;
}

int LaunchFail(DWORD* pdwErr, DWORD dwErr)
{
    *pdwErr = dwErr;
    return 0;
}

int ExtractPackage(Extraction* pEx, const ExtractWay* pWay, DWORD* pdwErr)
{
    OwnPath own;
    GetOwnPath(&own);
    if (!PrepareWorkDir(pEx->szWorkDir, sizeof pEx->szWorkDir, &pEx->hold))
        return LaunchFail(pdwErr, LAUNCH_ERR_WORK_DIR);
    DWORD dwOpenErr = 0;
    pEx->hOwn = TakeOwnImage(&dwOpenErr);
    if (!CheckOwnSize(&own, pEx->hOwn, dwOpenErr))
        return LaunchFail(pdwErr, LAUNCH_ERR_OWN_SIZE);
    return pWay->pfnUnpack(pEx->hOwn, own.szDir, own.szFile, pEx->szWorkDir, pdwErr, PKG_OFFSET);
}

int FindExtracted(const Extraction* pEx, const char* pszName)
{
    char szPath[UTL_PATH_BUF];
    return utl_JoinPath(szPath, sizeof szPath, pEx->szWorkDir, pszName) && utl_FileExists(szPath);
}

int StartInstaller(Extraction* pEx, DWORD* pdwErr, DWORD* pdwWaits)
{
    if (!StartExtracted(pEx->szWorkDir, SETUP_INNER_INSTALLER, NULL, SW_SHOW, &pEx->hInstaller))
        return LaunchFail(pdwErr, LAUNCH_ERR_INSTALLER_START);
    *pdwWaits = WaitForStart(SETUP_INNER_INSTALLER);
    return 1;
}

// The name has gone from the process list, which a process leaves as it
// ends; a second is allowed for its handle to say so. A process still
// running then (the list could not be read) or a start that gave no process
// has no code to read.
static DWORD ReadInstallerExitCode(HANDLE hProcess)
{
    DWORD dwExit = 0;
    if (hProcess == INVALID_HANDLE_VALUE || WaitForSingleObject(hProcess, 1000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(hProcess, &dwExit)) {
        WriteSetupLog(RUN_LOG_INSTALLER_CODE_UNREAD);
        return 0;
    }
    return dwExit;
}

void FollowInstallerToEnd(Extraction* pEx)
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALLER_ENDED "%u.",
             (unsigned)WaitForEnd(SETUP_INNER_INSTALLER));
    WriteSetupLog(szLine);
    pEx->dwInstallerExit = ReadInstallerExitCode(pEx->hInstaller);
}

void LogInstallFailure(DWORD dwErr)
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALL_FAILED "%u.", (unsigned)dwErr);
    WriteSetupLog(szLine);
}
