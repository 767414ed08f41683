// The setup launcher's main work: extract the package behind its own image
// into the work directory, run the companion program and then the inner
// installer, and wait until the installer has ended. The single-instance
// event is released at the end of every path.
#include "launcher.h"
#include "launch_steps.h"
#include "../package/package.h"
#include "../util/file_util.h"
#include "../util/log.h"
#include "../util/proc_check.h"

#include <stdio.h>

char g_szTempDir[MAX_PATH];

static const char kCompanion[] = "dovRelsvc.exe";

// The companion gets 300 ms to appear, then up to 600 checks 500 ms apart.
static void WaitForCompanion()
{
    Sleep(300);
    for (int nWaits = 0; nWaits < 600 && chkProcExist("waitCpd", kCompanion) == PROC_RUNNING;
         ++nWaits)
        Sleep(500);
}

static int Fail(DWORD* pdwErr, DWORD dwErr)
{
    *pdwErr = dwErr;
    return 0;
}

static int Extract(DWORD* pdwErr, WorkDirHold* pHold)
{
    OwnPath own;
    GetOwnPath(&own);
    if (!PrepareWorkDir(g_szTempDir, sizeof g_szTempDir, pHold))
        return Fail(pdwErr, LAUNCH_ERR_WORK_DIR);
    char szZqm[UTL_PATH_BUF];
    if (utl_JoinPath(szZqm, sizeof szZqm, g_szTempDir, "ZQM"))
        utl_RemoveDir(szZqm);
    const char* pszSrcDir = NULL;
    if (!CheckOwnSize(&own, 0, &pszSrcDir))
        return Fail(pdwErr, LAUNCH_ERR_OWN_SIZE);
    return utl_FileUnpack(pszSrcDir, own.szFile, g_szTempDir, pdwErr, PKG_OFFSET);
}

static int FindExtracted(const char* pszName)
{
    char szPath[UTL_PATH_BUF];
    return utl_JoinPath(szPath, sizeof szPath, g_szTempDir, pszName) && utl_FileExists(szPath);
}

static int RunExtracted(DWORD* pdwErr, WorkDirHold* pHold)
{
    if (!Extract(pdwErr, pHold))
        return 0;
    if (!FindExtracted(kCompanion))
        return Fail(pdwErr, LAUNCH_ERR_NO_HELPER);
    if (!StartExtracted(g_szTempDir, kCompanion, "-setUpdInfo", SW_HIDE))
        return Fail(pdwErr, LAUNCH_ERR_HELPER_START);
    WaitForCompanion();
    if (!FindExtracted(SETUP_INNER_INSTALLER))
        return Fail(pdwErr, LAUNCH_ERR_NO_INSTALLER);
    if (!StartExtracted(g_szTempDir, SETUP_INNER_INSTALLER, NULL, SW_SHOW))
        return Fail(pdwErr, LAUNCH_ERR_INSTALLER_START);

    char szLine[64];
    snprintf(szLine, sizeof szLine, "is-stp started at %u",
             (unsigned)WaitForStart(SETUP_INNER_INSTALLER));
    WriteSetupLog(szLine);
    ReleaseWorkDir(pHold); // the installer runs; the directory has done its job
    snprintf(szLine, sizeof szLine, "is-stp ended at %u.",
             (unsigned)WaitForEnd(SETUP_INNER_INSTALLER));
    WriteSetupLog(szLine);
    return 1;
}

int UnpackAndSetup(DWORD* pdwErr)
{
    WorkDirHold hold = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
    int bResult = RunExtracted(pdwErr, &hold);
    ReleaseWorkDir(&hold);
    ReleaseInstanceEvent();
    PostQuitMessage(0);
    return bResult;
}
