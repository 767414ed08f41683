// Entry of the setup launcher: decides whether an installation may start at
// all. Every refusal is one message box; the exit code is 0 on every path.
#include "setup.h"
#include "launch_steps.h"
#include "log.h"
#include "password_gate.h"
#include "start_checks.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    if (!PassStartChecks(LAUNCHER_SETUP))
        return 0;
    if (IsUpdateToolRunning())
        return RefuseStart(REFUSE_UPDATE_TOOL_RUNNING, LAUNCHER_SETUP);
    if (IsUninstallPrompt("setup", g_szStoredPwd)) {
        if (!RunPasswordDialog(hInstance)) {
            ReleaseInstanceEvent();
            WriteSetupLog("Exit main");
            return 0;
        }
        WriteSetupLog("Begin UnpackAndSetup");
    }

    DWORD dwErr = 0;
    if (!UnpackAndSetup(&dwErr))
        LogInstallFailure(dwErr);
    ReleaseInstanceEvent();
    WriteSetupLog("Exit main");
    return 0;
}
