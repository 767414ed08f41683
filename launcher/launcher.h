// The setup launcher's entry, its start-up checks and its process-wide state.
#pragma once

#include <windows.h>

// The single-instance event while this launcher holds it, else NULL.
extern HANDLE g_hEvent;
// The work directory the package is extracted into.
extern char g_szTempDir[MAX_PATH];

enum LauncherKind {
    LAUNCHER_SETUP,
    LAUNCHER_LITE,
};

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
const char* RefusalText(Refusal eWhy, LANGID wLang, LauncherKind eKind);
const char* RefusalCaption(LANGID wLang, LauncherKind eKind);
void ShowRefusal(Refusal eWhy, LauncherKind eKind);
// Shows the refusal, then lets go of the single-instance event; returns 0.
int RefuseStart(Refusal eWhy, LauncherKind eKind);
// The checks both launchers start with: the single-instance event (kept in
// g_hEvent), administrator rights, 50 MB free on C:. 1 when the start may go
// on; otherwise the refusal has been shown.
int PassStartChecks(LauncherKind eKind);
// "install failed with Err N." in the setup log.
void LogInstallFailure(DWORD dwErr);
// Closes the single-instance event once; later calls do nothing.
void ReleaseInstanceEvent();
int UnpackAndSetup(DWORD* pdwErr);
