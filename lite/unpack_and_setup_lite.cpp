// The lite launcher's main work. It extracts like setup (quietly), clears
// "SetupFlag", runs the registration tool when no client is installed yet,
// starts the inner installer and follows it until it reports success through
// the flag or has gone; an installer that ends without setting it failed.
#include "lite.h"
#include "../launcher/launch_steps.h"
#include "../package/package.h"
#include "../util/file_util.h"
#include "../util/log.h"
#include "../util/proc_check.h"
#include "../util/reg_ini.h"

#include <stdio.h>

static char s_szTempDir[MAX_PATH];

static const char kFlagKey[] = "SOFTWARE\\Qor\\Kelvo";
static const char kFlagName[] = "SetupFlag";
static const char kUninstallKey[] = CLIENT_UNINSTALL_KEY;
static const char kRegistrationTool[] = "KelvoRegister.exe";

static int Fail(DWORD* pdwErr, DWORD dwErr)
{
    *pdwErr = dwErr;
    return 0;
}

static int FindExtracted(const char* pszName)
{
    char szPath[UTL_PATH_BUF];
    return utl_JoinPath(szPath, sizeof szPath, s_szTempDir, pszName) && utl_FileExists(szPath);
}

static int Extract(DWORD* pdwErr, WorkDirHold* pHold)
{
    OwnPath own;
    GetOwnPath(&own);
    if (!PrepareWorkDir(s_szTempDir, sizeof s_szTempDir, pHold))
        return Fail(pdwErr, LAUNCH_ERR_WORK_DIR);
    const char* pszSrcDir = NULL;
    if (!CheckOwnSize(&own, 1, &pszSrcDir))
        return Fail(pdwErr, LAUNCH_ERR_OWN_SIZE);
    return utl_FileUnpackLite(pszSrcDir, own.szFile, s_szTempDir, pdwErr, PKG_OFFSET);
}

// The registration tool is needed only where no client is installed; its
// flag (1 when started) goes into the start line.
static int RegisterIfNeeded(DWORD* pdwErr, DWORD* pdwToolStarted)
{
    char szDisplayName[MAX_PATH];
    *pdwToolStarted = 0;
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName", szDisplayName,
                          sizeof szDisplayName - 1)) {
        WriteSetupLog(szDisplayName);
        return 1;
    }
    if (!FindExtracted(kRegistrationTool))
        return Fail(pdwErr, LAUNCH_ERR_NO_HELPER);
    if (!StartExtracted(s_szTempDir, kRegistrationTool, NULL, SW_HIDE))
        return Fail(pdwErr, LAUNCH_ERR_HELPER_START);
    Sleep(1000);
    *pdwToolStarted = 1;
    return 1;
}

// The registration tool runs to its end before the installer starts. The
// checks follow each other closely, with a short pause so that the wait does
// not take a whole processor from the tool it waits for.
static void WaitForRegistration()
{
    while (chkProcExist("waitSetup", kRegistrationTool) == PROC_RUNNING)
        Sleep(10);
}

static DWORD ReadSetupFlag()
{
    DWORD dwFlag = 0;
    utl_ReadRegDword(HKEY_LOCAL_MACHINE, kFlagKey, kFlagName, &dwFlag);
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

static int RunExtracted(DWORD* pdwErr, WorkDirHold* pHold)
{
    if (!Extract(pdwErr, pHold))
        return 0;
    if (!utl_WriteRegDword(HKEY_LOCAL_MACHINE, kFlagKey, kFlagName, 0))
        return Fail(pdwErr, LITE_ERR_SETUP_FLAG);
    DWORD dwToolStarted = 0;
    if (!RegisterIfNeeded(pdwErr, &dwToolStarted))
        return 0;
    if (!FindExtracted(SETUP_INNER_INSTALLER))
        return Fail(pdwErr, LAUNCH_ERR_NO_INSTALLER);
    WaitForRegistration();
    if (!StartExtracted(s_szTempDir, SETUP_INNER_INSTALLER, NULL, SW_SHOW))
        return Fail(pdwErr, LAUNCH_ERR_INSTALLER_START);

    char szLine[64];
    snprintf(szLine, sizeof szLine, "is-stp started at %u, %u.",
             (unsigned)WaitForStart(SETUP_INNER_INSTALLER), (unsigned)dwToolStarted);
    WriteSetupLog(szLine);
    ReleaseWorkDir(pHold);

    DWORD dwFlag = 0;
    DWORD dwWaits = WaitForFlag(&dwFlag);
    if (dwFlag == 0 && ReadSetupFlag() == 0) {
        WriteSetupLog("setupflag is not set.");
        return Fail(pdwErr, LITE_ERR_FLAG_NOT_SET);
    }
    snprintf(szLine, sizeof szLine, "is-stp fine at %u.", (unsigned)dwWaits);
    WriteSetupLog(szLine);
    snprintf(szLine, sizeof szLine, "is-stp ended at %u.",
             (unsigned)WaitForEnd(SETUP_INNER_INSTALLER));
    WriteSetupLog(szLine);
    return 1;
}

int UnpackAndSetupLite(DWORD* pdwErr)
{
    WorkDirHold hold = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
    int bResult = RunExtracted(pdwErr, &hold);
    ReleaseWorkDir(&hold);
    return bResult;
}
