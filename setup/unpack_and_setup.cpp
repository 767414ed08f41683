// The setup launcher's main work: extract the package behind its own image
// into the work directory, run the companion program and then the inner
// installer, and wait until the installer has ended, whose exit code is then
// the run's. The single-instance event is released at the end of every path.
#include "setup.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"
#include "package.h"
#include "proc_check.h"
#include "start_checks.h"

#include <stdio.h>

// The companion gets 300 ms to appear, then up to 600 checks 500 ms apart.
static void WaitForCompanion()
{
    Sleep(300);
    for (int nWaits = 0; nWaits < 600 && chkProcExist("waitCpd", SETUP_COMPANION) == PROC_RUNNING;
         ++nWaits)
        Sleep(500);
}

static int RunExtracted(Extraction* pEx, DWORD* pdwErr)
{
    static const ExtractWay kWay = {utl_FileUnpackHeld};
    if (!ExtractPackage(pEx, &kWay, pdwErr))
        return 0;
    if (!FindExtracted(pEx, SETUP_COMPANION))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_HELPER);
    if (!StartExtracted(pEx->szWorkDir, SETUP_COMPANION, "-setUpdInfo", SW_HIDE, &pEx->hHelper))
        return LaunchFail(pdwErr, LAUNCH_ERR_HELPER_START);
    WaitForCompanion();
    if (!FindExtracted(pEx, SETUP_INNER_INSTALLER))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_INSTALLER);
    DWORD dwStartWaits = 0;
    if (!StartInstaller(pEx, pdwErr, &dwStartWaits))
        return 0;

    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALLER_STARTED "%u", (unsigned)dwStartWaits);
    WriteSetupLog(szLine);
    EndExtraction(pEx); // the installer runs; the directory has done its job
    FollowInstallerToEnd(pEx);
    return 1;
}

int UnpackAndSetup(DWORD* pdwErr, DWORD* pdwInstallerExit)
{
    int bResult = RunExtraction(RunExtracted, pdwErr, pdwInstallerExit);
    ReleaseInstanceEvent();
    PostQuitMessage(0);
    return bResult;
}
