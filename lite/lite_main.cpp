// Entry of the lite launcher. It refuses a start exactly as setup does, but
// has no update-tool guard and no password gate. The exit code is always 0.
#include "lite.h"
#include "../launcher/launcher.h"
#include "../util/log.h"

#include <stdio.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    if (!PassStartChecks(LAUNCHER_LITE))
        return 0;
    DWORD dwErr = 0;
    if (!UnpackAndSetupLite(&dwErr)) {
        char szLine[64];
        snprintf(szLine, sizeof szLine, "install failed with Err %u.", (unsigned)dwErr);
        WriteSetupLog(szLine);
    }
    ReleaseInstanceEvent();
    return 0;
}
