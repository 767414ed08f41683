// The checks both launchers start with, and the refusals they show: one
// launcher at a time, administrator rights, free space on C:, and (setup's
// own) the update tool.
#pragma once

#include "exit_codes.h"

#include <windows.h>

// The single-instance event while this launcher holds it, else NULL.
extern HANDLE g_hEvent;

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

enum InstanceHold {
    INSTANCE_HELD,   // this launcher may run
    INSTANCE_TAKEN,  // another launcher runs
    INSTANCE_FAILED, // the objects cannot be made: logged with their names
};
// Makes the objects that keep launchers apart and holds them (g_hEvent).
// *pdwErr gets the system's error of a failure.
InstanceHold HoldInstanceObjects(DWORD* pdwErr);

// The process's own defences, set as each launcher's first step and said in
// the run's first lines: the DLL search restricted to the system directory,
// and no link of a non-administrator followed, where Windows offers each.
void RestrictDllSearch();
void LogDllSearch();
void TrustNoUserRedirection();
void LogRedirectionTrust();
int IsAdministrator();
long long GetDiskFreeBytes(const char* pszRoot);
long long LegacyFreeBytes(DWORD dwSectorsPerCluster, DWORD dwBytesPerSector, DWORD dwFreeClusters);
int FreeSpaceIsEnough(long long llFreeBytes);
int CheckFreeSpace();
// The launchers speak Chinese where the system's default language is Chinese
// (PRC), English everywhere else.
int SpeaksChinese(LANGID wLang);
const char* RefusalText(Refusal eWhy, LANGID wLang, LauncherKind eKind);
const char* RefusalCaption(LANGID wLang, LauncherKind eKind);
// 1 when a user can see and answer this process's windows: its window
// station has visible display surfaces and is not in session 0 while the
// console is elsewhere (where only services run since Vista). A launcher
// that a deployment agent starts as SYSTEM has none, and a box there would
// wait forever.
int HasInteractiveDesktop();
// The box of the refusal; without an interactive desktop its text goes to
// the setup log instead.
void ShowRefusal(Refusal eWhy, LauncherKind eKind);
// Logs the refusal and shows it, then lets go of the single-instance event;
// returns how the run ends.
RunOutcome RefuseStart(Refusal eWhy, LauncherKind eKind);
// The checks both launchers start with: the single-instance objects (kept
// while the run lasts), administrator rights, 50 MB free on C:. 1 when the start may go
// on; otherwise the refusal has been logged and shown, and *peOutcome says
// how the run ends.
int PassStartChecks(LauncherKind eKind, RunOutcome* peOutcome);
// Closes the single-instance objects once; later calls do nothing.
void ReleaseInstanceEvent();
