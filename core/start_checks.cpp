// The start-up checks both launchers share. The event stays held while a
// refusal is on screen, so that a launcher started meanwhile is told another
// one is running.
#include "start_checks.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"
#include "proc_check.h"

#include <stdio.h>

// The single-instance event: its existence is the mark that a launcher runs.
HANDLE g_hEvent = NULL;

// How each refusal ends the run, in the order of Refusal.
static const RunOutcome kRefusalOutcomes[] = {
    RUN_ANOTHER_LAUNCHER,        RUN_NOT_ADMIN, RUN_LOW_DISK_SPACE, RUN_UPDATE_TOOL_RUNNING,
    RUN_INSTALLER_STILL_RUNNING,
};

// The log line comes first: a box that nobody answers keeps the run from
// its end, and the log should still say why it stopped.
RunOutcome RefuseStart(Refusal eWhy, LauncherKind eKind)
{
    LogRefusedStart(kRefusalOutcomes[eWhy], 0);
    ShowRefusal(eWhy, eKind);
    ReleaseInstanceEvent();
    return kRefusalOutcomes[eWhy];
}

// An inner installer outlives a launcher that was killed (a deployment
// agent's time-out): it is left to finish, since an installer cut off
// halfway can leave the client half installed. A new install waits until
// it has ended.
static int InnerInstallerRuns()
{
    DWORD dwPid = utl_FindProcessId(SETUP_INNER_INSTALLER);
    if (dwPid == 0)
        return 0;
    char szLine[128];
    snprintf(szLine, sizeof szLine,
             RUN_LOG_INSTALL_STILL_RUNNING SETUP_INNER_INSTALLER " (process %lu).",
             (unsigned long)dwPid);
    WriteSetupLog(szLine);
    return 1;
}

int PassStartChecks(LauncherKind eKind, RunOutcome* peOutcome)
{
    LogRunHeader(eKind);
    LogDllSearch();
    LogRedirectionTrust();
    // Before anything else: what follows must not run for another file's
    // package.
    // To whoever started it, the file at its path is as good as damaged:
    // the box says to get it again.
    if (!OwnImageIsTheRunningFile()) {
        *peOutcome = RUN_OWN_FILE_REPLACED;
        LogRefusedStart(*peOutcome, 0);
        ShowDamagedSetup(eKind);
        return 0;
    }
    DWORD dwErr = 0;
    InstanceHold eHold = HoldInstanceObjects(&dwErr);
    if (eHold == INSTANCE_FAILED) {
        // No box: nothing a user at the screen can do about it.
        *peOutcome = RUN_NO_INSTANCE_EVENT;
        LogRefusedStart(*peOutcome, dwErr);
        return 0;
    }
    Refusal eWhy;
    if (eHold == INSTANCE_TAKEN) {
        eWhy = REFUSE_ANOTHER_INSTANCE;
    } else if (!IsAdministrator()) {
        eWhy = REFUSE_NOT_ADMIN;
    } else if (!CheckFreeSpace()) {
        eWhy = REFUSE_LOW_DISK_SPACE;
    } else if (InnerInstallerRuns()) {
        eWhy = REFUSE_INSTALLER_RUNNING;
    } else {
        return 1;
    }
    *peOutcome = RefuseStart(eWhy, eKind);
    return 0;
}
