// The start-up checks both launchers share. The event stays held while a
// refusal is on screen, so that a launcher started meanwhile is told another
// one is running.
#include "start_checks.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"

// The single-instance event: its existence is the mark that a launcher runs.
HANDLE g_hEvent = NULL;

// How each refusal ends the run, in the order of Refusal.
static const RunOutcome kRefusalOutcomes[] = {
    RUN_ANOTHER_LAUNCHER,
    RUN_NOT_ADMIN,
    RUN_LOW_DISK_SPACE,
    RUN_UPDATE_TOOL_RUNNING,
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

// The run's first line names the launcher: both write the same setup log,
// and a log read later tells their runs apart by it.
static void LogRunStart(LauncherKind eKind)
{
    WriteSetupLog(eKind == LAUNCHER_LITE ? RUN_LOG_LITE_NAME RUN_LOG_STARTS
                                         : RUN_LOG_SETUP_NAME RUN_LOG_STARTS);
}

int PassStartChecks(LauncherKind eKind, RunOutcome* peOutcome)
{
    LogRunStart(eKind);
    LogDllSearch();
    LogRedirectionTrust();
    // Before anything else: what follows must not run for another file's
    // package.
    if (!OwnImageIsTheRunningFile()) {
        *peOutcome = RUN_OWN_FILE_REPLACED;
        LogRefusedStart(*peOutcome, 0);
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
    } else {
        return 1;
    }
    *peOutcome = RefuseStart(eWhy, eKind);
    return 0;
}
