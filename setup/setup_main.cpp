// Entry of the setup launcher: decides whether an installation may start at
// all. Every refusal is one message box (without an interactive desktop, a
// log line). The exit code tells whoever started it how the run ended: the
// inner installer's own code, or the refusal's or failure's.
#include "setup.h"
#include "exit_codes.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"
#include "password_gate.h"
#include "start_checks.h"

// A protected client is upgraded only with its password. Without a desktop
// nobody can type it, so the run ends at once instead of waiting for ever.
static int PassPasswordGate(HINSTANCE hInstance, RunOutcome* peOutcome)
{
    if (!IsUninstallPrompt("setup", g_szStoredPwd))
        return 1;
    if (!HasInteractiveDesktop()) {
        WriteSetupLog("no interactive desktop, so the password dialog is not shown.");
        *peOutcome = RUN_PASSWORD_WITHOUT_DESKTOP;
        return 0;
    }
    if (!RunPasswordDialog(hInstance)) {
        *peOutcome = RUN_PASSWORD_NOT_GIVEN;
        return 0;
    }
    WriteSetupLog("Begin UnpackAndSetup");
    return 1;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    TrustNoUserRedirection();
    HoldOwnImage();
    RunOutcome eOutcome = RUN_INSTALLER_ENDED;
    if (!PassStartChecks(LAUNCHER_SETUP, &eOutcome))
        return EndRun(eOutcome, 0);
    if (IsUpdateToolRunning())
        return EndRun(RefuseStart(REFUSE_UPDATE_TOOL_RUNNING, LAUNCHER_SETUP), 0);
    if (!PassPasswordGate(hInstance, &eOutcome)) {
        ReleaseInstanceEvent();
        WriteSetupLog(RUN_LOG_EXIT_MAIN);
        return EndRun(eOutcome, 0);
    }

    DWORD dwErr = 0, dwInstallerExit = 0;
    if (!UnpackAndSetup(&dwErr, &dwInstallerExit)) {
        LogInstallFailure(dwErr);
        eOutcome = RUN_INSTALL_FAILED;
    }
    ReleaseInstanceEvent();
    WriteSetupLog(RUN_LOG_EXIT_MAIN);
    return EndRun(eOutcome, eOutcome == RUN_INSTALL_FAILED ? dwErr : dwInstallerExit);
}
