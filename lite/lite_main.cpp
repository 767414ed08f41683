// Entry of the lite launcher. It refuses a start exactly as setup does, but
// has no update-tool guard and no password gate. The exit code is always 0.
#include "lite.h"
#include "launch_steps.h"
#include "start_checks.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    if (!PassStartChecks(LAUNCHER_LITE))
        return 0;
    DWORD dwErr = 0;
    if (!UnpackAndSetupLite(&dwErr))
        LogInstallFailure(dwErr);
    ReleaseInstanceEvent();
    return 0;
}
