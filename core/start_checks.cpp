// The start-up checks both launchers share. The event stays held while a
// refusal is on screen, so that a launcher started meanwhile is told another
// one is running.
#include "start_checks.h"

// The single-instance event: its existence is the mark that a launcher runs.
HANDLE g_hEvent = NULL;

void ReleaseInstanceEvent()
{
    if (g_hEvent != NULL)
        CloseHandle(g_hEvent);
    g_hEvent = NULL;
}

int RefuseStart(Refusal eWhy, LauncherKind eKind)
{
    ShowRefusal(eWhy, eKind);
    ReleaseInstanceEvent();
    return 0;
}

int PassStartChecks(LauncherKind eKind)
{
    g_hEvent = CreateEventA(NULL, FALSE, FALSE, SETUP_INSTANCE_EVENT);
    if (g_hEvent == NULL)
        return 0; // nothing to say: the start is simply not possible
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        ReleaseInstanceEvent();
        return RefuseStart(REFUSE_ANOTHER_INSTANCE, eKind);
    }
    if (!IsAdministrator())
        return RefuseStart(REFUSE_NOT_ADMIN, eKind);
    if (!CheckFreeSpace())
        return RefuseStart(REFUSE_LOW_DISK_SPACE, eKind);
    return 1;
}
