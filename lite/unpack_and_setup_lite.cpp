// The lite launcher's main work. It extracts like setup (quietly), clears
// "SetupFlag", runs the registration tool when no client is installed yet,
// starts the inner installer and follows it until it reports success through
// the flag or has gone; an installer that ends without setting it failed.
#include "lite.h"
#include "client_registry.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"
#include "package.h"
#include "proc_check.h"
#include "reg_ini.h"

#include <stdio.h>

// The registration tool is needed only where no client is installed; its
// flag (1 when started) goes into the start line.
static int RegisterIfNeeded(Extraction* pEx, DWORD* pdwErr, DWORD* pdwToolStarted)
{
    char szDisplayName[MAX_PATH];
    *pdwToolStarted = 0;
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, CLIENT_UNINSTALL_KEY, CLIENT_DISPLAY_NAME_VALUE,
                          szDisplayName, sizeof szDisplayName - 1)) {
        WriteSetupLog(szDisplayName);
        return 1;
    }
    if (!FindExtracted(pEx, LITE_REGISTRATION_TOOL))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_HELPER);
    if (!StartExtracted(pEx->szWorkDir, LITE_REGISTRATION_TOOL, NULL, SW_HIDE, &pEx->hHelper))
        return LaunchFail(pdwErr, LAUNCH_ERR_HELPER_START);
    Sleep(1000);
    *pdwToolStarted = 1;
    return 1;
}

// The registration tool runs to its end before the installer starts. The
// checks follow each other closely, with a short pause so that the wait does
// not take a whole processor from the tool it waits for.
static void WaitForRegistration()
{
    while (chkProcExist("waitSetup", LITE_REGISTRATION_TOOL) == PROC_RUNNING)
        Sleep(10);
}

static DWORD ReadSetupFlag()
{
    DWORD dwFlag = 0;
    utl_ReadRegDword(HKEY_LOCAL_MACHINE, SETUP_FLAG_KEY, SETUP_FLAG_VALUE, &dwFlag);
    return dwFlag;
}

// Until the flag is set or the installer has gone (a failed check does not
// count as gone); returns the number of 500 ms waits.
static DWORD WaitForFlag(DWORD* pdwFlag)
{
    DWORD dwWaits = 0;
    *pdwFlag = ReadSetupFlag();
    for (;;) {
        if (*pdwFlag != 0) {
            WriteSetupLog("setupflag is set.");
            return dwWaits;
        }
        if (chkProcExist("waitSetup", SETUP_INNER_INSTALLER) == PROC_NOT_FOUND) {
            WriteSetupLog("setup-process is out.");
            return dwWaits;
        }
        Sleep(500);
        ++dwWaits;
        *pdwFlag = ReadSetupFlag();
    }
}

static int RunExtracted(Extraction* pEx, DWORD* pdwErr)
{
    static const ExtractWay kWay = {utl_FileUnpackLiteHeld};
    if (!ExtractPackage(pEx, &kWay, pdwErr))
        return 0;
    if (!utl_WriteRegDword(HKEY_LOCAL_MACHINE, SETUP_FLAG_KEY, SETUP_FLAG_VALUE, 0))
        return LaunchFail(pdwErr, LAUNCH_ERR_SETUP_FLAG);
    DWORD dwToolStarted = 0;
    if (!RegisterIfNeeded(pEx, pdwErr, &dwToolStarted))
        return 0;
    if (!FindExtracted(pEx, SETUP_INNER_INSTALLER))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_INSTALLER);
    WaitForRegistration();
    DWORD dwStartWaits = 0;
    if (!StartInstaller(pEx, pdwErr, &dwStartWaits))
        return 0;

    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALLER_STARTED "%u, %u.", (unsigned)dwStartWaits,
             (unsigned)dwToolStarted);
    WriteSetupLog(szLine);
    EndExtraction(pEx);

    DWORD dwFlag = 0;
    DWORD dwWaits = WaitForFlag(&dwFlag);
    if (dwFlag == 0 && ReadSetupFlag() == 0) {
        WriteSetupLog("setupflag is not set.");
        return LaunchFail(pdwErr, LAUNCH_ERR_FLAG_NOT_SET);
    }
    snprintf(szLine, sizeof szLine, "is-stp fine at %u.", (unsigned)dwWaits);
    WriteSetupLog(szLine);
    FollowInstallerToEnd(pEx);
    return 1;
}

int UnpackAndSetupLite(DWORD* pdwErr, DWORD* pdwInstallerExit)
{
    return RunExtraction(RunExtracted, pdwErr, pdwInstallerExit);
}
