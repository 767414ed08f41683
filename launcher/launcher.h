// The setup launcher's entry, its start-up checks and its process-wide state.
#pragma once

#include <windows.h>

// The single-instance event while this launcher holds it, else NULL.
extern HANDLE g_hEvent;
// The work directory the package is extracted into.
extern char g_szTempDir[MAX_PATH];

enum Refusal {
    REFUSE_ANOTHER_INSTANCE,
    REFUSE_NOT_ADMIN,
    REFUSE_LOW_DISK_SPACE,
    REFUSE_UPDATE_TOOL_RUNNING,
};

// Both launchers share this event, so they also exclude each other.
#define SETUP_INSTANCE_EVENT "evnt_Kelvo_stpDamon"

void RestrictDllSearch();
int IsAdministrator();
long long GetDiskFreeBytes(const char* pszRoot);
long long LegacyFreeBytes(DWORD dwSectorsPerCluster, DWORD dwBytesPerSector, DWORD dwFreeClusters);
int FreeSpaceIsEnough(long long llFreeBytes);
int CheckFreeSpace();
int IsUpdateToolRunning();
const char* RefusalText(Refusal eWhy, LANGID wLang);
const char* RefusalCaption(LANGID wLang);
void ShowRefusal(Refusal eWhy);
// Closes the single-instance event once; later calls do nothing.
void ReleaseInstanceEvent();
int UnpackAndSetup(DWORD* pdwErr);
