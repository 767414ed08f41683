// Entry of the lite launcher. It refuses a start exactly as setup does, but
// has no update-tool guard and no password gate. Its exit code is the inner
// installer's own once the installer set the flag and ended, else the
// refusal's or failure's.
#include "lite.h"
#include "exit_codes.h"
#include "launch_steps.h"
#include "start_checks.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    TrustNoUserRedirection();
    HoldOwnImage();
    RunOutcome eOutcome = RUN_INSTALLER_ENDED;
    if (!PassStartChecks(LAUNCHER_LITE, &eOutcome))
        return EndRun(eOutcome, 0);
    DWORD dwErr = 0, dwInstallerExit = 0;
    if (!UnpackAndSetupLite(&dwErr, &dwInstallerExit)) {
        LogInstallFailure(dwErr);
        eOutcome = RUN_INSTALL_FAILED;
    }
    ReleaseInstanceEvent();
    return EndRun(eOutcome, eOutcome == RUN_INSTALL_FAILED ? dwErr : dwInstallerExit);
}
