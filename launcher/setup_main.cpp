// Entry of the setup launcher: decides whether an installation may start at
// all. Every refusal is one message box; the exit code is 0 on every path.
#include "launcher.h"
#include "../util/log.h"

#include <stdio.h>

// The event stays held while a refusal is on screen, so that a launcher
// started meanwhile is told another one is running.
static int Refuse(Refusal eWhy)
{
    ShowRefusal(eWhy);
    ReleaseInstanceEvent();
    return 0;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();

    g_hEvent = CreateEventA(NULL, FALSE, FALSE, SETUP_INSTANCE_EVENT);
    if (g_hEvent == NULL)
        return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ReleaseInstanceEvent();
        return Refuse(REFUSE_ANOTHER_INSTANCE);
    }
    if (!IsAdministrator())
        return Refuse(REFUSE_NOT_ADMIN);
    if (!CheckFreeSpace())
        return Refuse(REFUSE_LOW_DISK_SPACE);
    if (IsUpdateToolRunning())
        return Refuse(REFUSE_UPDATE_TOOL_RUNNING);

    DWORD dwErr = 0;
    if (!UnpackAndSetup(&dwErr)) {
        char szLine[64];
        snprintf(szLine, sizeof szLine, "install failed with Err %u.", (unsigned)dwErr);
        WriteSetupLog(szLine);
    }
    ReleaseInstanceEvent();
    WriteSetupLog("Exit main");
    return 0;
}
