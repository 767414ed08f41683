// The single-instance event: its existence is the mark that a launcher runs.
#include "start_checks.h"

HANDLE g_hEvent = NULL;

void ReleaseInstanceEvent()
{
    if (g_hEvent != NULL)
        CloseHandle(g_hEvent);
    g_hEvent = NULL;
}
