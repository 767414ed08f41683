// The extraction sequence both launchers share: the package behind the own
// image goes into the held work directory, and the inner installer found
// there is started and followed by name until it has gone.
#include "launch_steps.h"
#include "file_util.h"
#include "log.h"
#include "package.h"

#include <stdio.h>

void EndExtraction(Extraction* pEx)
{
    utl_CloseHandle(&pEx->hOwn);
    ReleaseWorkDir(&pEx->hold);
}

int RunExtraction(int (*pfnSequence)(Extraction* pEx, DWORD* pdwErr), DWORD* pdwErr)
{
    Extraction ex;
    ex.szWorkDir[0] = '\0';
    ex.hold.hTmp = INVALID_HANDLE_VALUE;
    ex.hold.hWork = INVALID_HANDLE_VALUE;
    ex.hOwn = INVALID_HANDLE_VALUE;
    int bResult = pfnSequence(&ex, pdwErr);
    EndExtraction(&ex);
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
    pEx->hOwn = OpenOwnImage();
    if (!CheckOwnSize(&own, pEx->hOwn))
        return LaunchFail(pdwErr, LAUNCH_ERR_OWN_SIZE);
    return pWay->pfnUnpack(pEx->hOwn, own.szDir, own.szFile, pEx->szWorkDir, pdwErr, PKG_OFFSET);
}

int FindExtracted(const Extraction* pEx, const char* pszName)
{
    char szPath[UTL_PATH_BUF];
    return utl_JoinPath(szPath, sizeof szPath, pEx->szWorkDir, pszName) && utl_FileExists(szPath);
}

int StartInstaller(const Extraction* pEx, DWORD* pdwErr, DWORD* pdwWaits)
{
    if (!StartExtracted(pEx->szWorkDir, SETUP_INNER_INSTALLER, NULL, SW_SHOW))
        return LaunchFail(pdwErr, LAUNCH_ERR_INSTALLER_START);
    *pdwWaits = WaitForStart(SETUP_INNER_INSTALLER);
    return 1;
}

void FollowInstallerToEnd()
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, "is-stp ended at %u.",
             (unsigned)WaitForEnd(SETUP_INNER_INSTALLER));
    WriteSetupLog(szLine);
}

void LogInstallFailure(DWORD dwErr)
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, "install failed with Err %u.", (unsigned)dwErr);
    WriteSetupLog(szLine);
}
