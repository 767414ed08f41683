// Entry of the setup launcher: decides whether an installation may start at
// all. Every refusal is one message box; the exit code is 0 on every path.
#include "launcher.h"
#include "../util/log.h"

HANDLE g_hEvent = NULL;

static void ReleaseInstanceEvent()
{
    if (g_hEvent != NULL)
        CloseHandle(g_hEvent);
    g_hEvent = NULL;
}

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

    ReleaseInstanceEvent();
    WriteSetupLog("Exit main");
    return 0;
}
