// The extraction sequence both launchers share: the package behind the own
// image goes into the held work directory, and the inner installer found
// there is started and followed by name until it has gone; then its exit
// code is read from the process handle kept since its start.
#include "launch_steps.h"
#include "file_util.h"
#include "held_dir.h"
#include "log.h"
#include "run_log_lines.h"
#include "package.h"
#include "seal.h"

#include <stdio.h>
#include <stdlib.h>

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

// Nothing will run from a package that did not extract whole, so its files
// go at once, through the held work directory: a disk that filled up is
// free again, and nothing half-written waits for the next run.
static void FreeFailedExtraction(Extraction* pEx)
{
    UtlRemoved removed = {0, 0};
    utl_RemoveHeldEntries(pEx->hold.hWork, "*", UTL_REMOVE_ALL, &removed);
    char szFreed[24], szLeft[24], szLine[160];
    _ui64toa(removed.cbFreed, szFreed, 10);
    _ui64toa(removed.cbLeft, szLeft, 10);
    if (removed.cbLeft != 0)
        snprintf(szLine, sizeof szLine,
                 RUN_LOG_FAILED_EXTRACTION_REMOVED "%s bytes freed, %s bytes could not be removed.",
                 szFreed, szLeft);
    else
        snprintf(szLine, sizeof szLine, RUN_LOG_FAILED_EXTRACTION_REMOVED "%s bytes freed.",
                 szFreed);
    WriteSetupLog(szLine);
}

// What the seal said, for support: a damaged setup with the digest the seal
// expects and the one the package has.
static void LogSeal(const PkgSealCheck* pCheck)
{
    char szLine[160], szSealed[17], szFound[17];
    pkg_DigestText(pCheck->sealed.ullDigest, szSealed);
    pkg_DigestText(pCheck->ullFound, szFound);
    switch (pCheck->eState) {
    case PKG_SEAL_NONE:
        WriteSetupLog(RUN_LOG_NO_SEAL);
        return;
    case PKG_SEAL_MATCHES:
        snprintf(szLine, sizeof szLine, RUN_LOG_SEAL_MATCHES "XXH3 %s of %u bytes.", szFound,
                 (unsigned)pCheck->sealed.cbPackage);
        break;
    case PKG_SEAL_MISMATCH:
        snprintf(szLine, sizeof szLine,
                 RUN_LOG_DAMAGED "its seal expects XXH3 %s, the package has %s.", szSealed,
                 szFound);
        break;
    case PKG_SEAL_WRONG_LENGTH:
        snprintf(szLine, sizeof szLine,
                 RUN_LOG_DAMAGED "its package is %llu bytes, its seal says %u.",
                 (unsigned long long)pCheck->cbPackage, (unsigned)pCheck->sealed.cbPackage);
        break;
    case PKG_SEAL_UNREADABLE:
        snprintf(szLine, sizeof szLine, RUN_LOG_DAMAGED "its seal at %d cannot be read.",
                 PKG_SEAL_AT);
        break;
    default:
        return;
    }
    WriteSetupLog(szLine);
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
    ExtractionProgress progress;
    StartProgress(&progress, pWay->eKind);
    PkgWatch watch = {ExtractionChunk, &progress, 1, {}, 0};
    int bResult = pWay->pfnUnpack(pEx->hOwn, own.szDir, own.szFile, pEx->szWorkDir, pdwErr,
                                  PKG_OFFSET, &watch);
    EndProgress(&progress);
    if (watch.bStopped) {
        WriteSetupLog(RUN_LOG_CANCELLED);
        *pdwErr = LAUNCH_CANCELLED;
    } else {
        LogSeal(&watch.seal);
    }
    if (bResult && !watch.bStopped)
        return 1;
    FreeFailedExtraction(pEx);
    if (*pdwErr == PKG_ERR_DAMAGED)
        ShowDamagedSetup(pWay->eKind);
    return 0;
}

RunOutcome EndFailedSequence(DWORD dwErr)
{
    if (dwErr == LAUNCH_CANCELLED)
        return RUN_EXTRACTION_CANCELLED;
    LogInstallFailure(dwErr);
    return RUN_INSTALL_FAILED;
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
DWORD ReadInstallerExitCode(HANDLE hProcess)
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

void LogInstallerCode(DWORD dwCode)
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALLER_CODE "%lu.", (unsigned long)dwCode);
    WriteSetupLog(szLine);
}

void LogInstallFailure(DWORD dwErr)
{
    char szLine[64];
    snprintf(szLine, sizeof szLine, RUN_LOG_INSTALL_FAILED "%u.", (unsigned)dwErr);
    WriteSetupLog(szLine);
}
