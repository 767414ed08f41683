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

// The registration tool is needed only where no client is installed yet;
// the installed one's name goes to the log.
static int NeedsRegistration()
{
    char szDisplayName[MAX_PATH];
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, CLIENT_UNINSTALL_KEY, CLIENT_DISPLAY_NAME_VALUE,
                          szDisplayName, sizeof szDisplayName - 1)) {
        WriteSetupLog(szDisplayName);
        return 0;
    }
    return 1;
}

// Every program the run will start is there before the first one starts:
// the registration tool must not run for an install that cannot happen.
static int FindPrograms(const Extraction* pEx, int bRegister, DWORD* pdwErr)
{
    if (bRegister && !FindExtracted(pEx, LITE_REGISTRATION_TOOL))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_HELPER);
    if (!FindExtracted(pEx, SETUP_INNER_INSTALLER))
        return LaunchFail(pdwErr, LAUNCH_ERR_NO_INSTALLER);
    return 1;
}

// Whether it ran (1) goes into the start line.
static int Register(Extraction* pEx, DWORD* pdwErr)
{
    if (!StartExtracted(pEx->szWorkDir, LITE_REGISTRATION_TOOL, NULL, SW_HIDE, &pEx->hHelper))
        return LaunchFail(pdwErr, LAUNCH_ERR_HELPER_START);
    Sleep(1000);
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
            WriteSetupLog(RUN_LOG_FLAG_SET);
            return dwWaits;
        }
        if (chkProcExist("waitSetup", SETUP_INNER_INSTALLER) == PROC_NOT_FOUND) {
            WriteSetupLog(RUN_LOG_INSTALLER_GONE);
            return dwWaits;
        }
        Sleep(500);
        ++dwWaits;
        *pdwFlag = ReadSetupFlag();
    }
}

// An installer that ended without setting the flag failed. Its own code
// says more than 354 (1603, a crash's exception), so that is passed on; 354
// stays for one that ended with 0 all the same.
static int InstallerEndedWithoutFlag(Extraction* pEx, DWORD* pdwErr)
{
    pEx->dwInstallerExit = ReadInstallerExitCode(pEx->hInstaller);
    LogInstallerCode(pEx->dwInstallerExit);
    return pEx->dwInstallerExit != 0 ? 1 : LaunchFail(pdwErr, LAUNCH_ERR_FLAG_NOT_SET);
}

static int RunExtracted(Extraction* pEx, DWORD* pdwErr)
{
    static const ExtractWay kWay = {utl_FileUnpackLiteHeld, LAUNCHER_LITE};
    if (!ExtractPackage(pEx, &kWay, pdwErr))
        return 0;
    if (!utl_WriteRegDword(HKEY_LOCAL_MACHINE, SETUP_FLAG_KEY, SETUP_FLAG_VALUE, 0))
        return LaunchFail(pdwErr, LAUNCH_ERR_SETUP_FLAG);
    int bRegister = NeedsRegistration();
    if (!FindPrograms(pEx, bRegister, pdwErr) || (bRegister && !Register(pEx, pdwErr)))
        return 0;
    WaitForRegistration();
    DWORD dwStartWaits = 0;
    if (!StartInstaller(pEx, pdwErr, &dwStartWaits))
        return 0;

    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALLER_STARTED "%u, %u.", (unsigned)dwStartWaits,
             (unsigned)bRegister);
    WriteSetupLog(szLine);
    EndExtraction(pEx);

    DWORD dwFlag = 0;
    DWORD dwWaits = WaitForFlag(&dwFlag);
    if (dwFlag == 0 && ReadSetupFlag() == 0) {
        WriteSetupLog(RUN_LOG_FLAG_NOT_SET);
        return InstallerEndedWithoutFlag(pEx, pdwErr);
    }
    snprintf(szLine, sizeof szLine, "is-stp fine at %u.", (unsigned)dwWaits);
    WriteSetupLog(szLine);
    FollowInstallerToEnd(pEx);
    LogInstallerCode(pEx->dwInstallerExit);
    return 1;
}

int UnpackAndSetupLite(DWORD* pdwErr, DWORD* pdwInstallerExit)
{
    return RunExtraction(RunExtracted, pdwErr, pdwInstallerExit);
}
