// The steps both launchers take around the extraction: where they run from,
// the work directory they extract into, starting the extracted programs and
// waiting for them by name.
#pragma once

#include <windows.h>

#include "error_numbers.h"
#include "install_sequence.h"
#include "record_walk.h"
#include "start_checks.h"

// The launcher's own file: the full path, and the path split at its last
// backslash (a plain byte search) into directory and file name.
struct OwnPath {
    char szFull[MAX_PATH];
    char szDir[MAX_PATH];
    char szFile[MAX_PATH];
};
void GetOwnPath(OwnPath* pOwn);

// The launcher's own file, opened once, as the launcher's first step, by the
// full wide path the system gives (never searched for, never taken from the
// current directory) and shared for reading only, and kept only when it is
// the very file the running image was mapped from. The extraction takes the
// handle (INVALID_HANDLE_VALUE, with the open's error, when it did not open).
void HoldOwnImage();
// 0 when another file stood at the own path when it was opened: that has
// then been logged with both paths, and nothing may be read from it.
int OwnImageIsTheRunningFile();
HANDLE TakeOwnImage(DWORD* pdwOpenErr);
// Checks that the own file, read through hOwn, carries a package behind its
// image and is below 4 GiB; dwOpenErr is why hOwn did not open.
int CheckOwnSize(const OwnPath* pOwn, HANDLE hOwn, DWORD dwOpenErr);

// The work directory C:\tmp\KelvoSetup0, made new on every run and
// protected so that only SYSTEM and Administrators may change it (Users may
// read and run). Whatever stood there is set aside first; C:\tmp that is a
// link or cannot be held is a refusal that changes nothing. While held,
// neither directory can be renamed or deleted.
struct WorkDirHold {
    HANDLE hTmp;
    HANDLE hWork;
};
int PrepareWorkDir(char* pszOut, size_t cbOut, WorkDirHold* pHold);
void ReleaseWorkDir(WorkDirHold* pHold);

// Starts dir\name by its full path, in dir as its current directory, with
// pszParams and the window state nShow; 1 when the system started it, else
// the failure is logged with the system's error. Whether the program then
// runs on is for the waits below to see. With phProcess, the started
// process's handle goes there, and the caller closes it.
int StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow,
                   HANDLE* phProcess);
// Checks every 50 ms, at most 600 times, until a process of the name shows
// up; returns the number of waits (600: never seen).
DWORD WaitForStart(const char* pszName);
// Checks every 500 ms, without limit, until no process of the name runs;
// returns the number of waits.
DWORD WaitForEnd(const char* pszName);

// The extraction sequence both launchers run: the work directory prepared
// and held, the own file's size checked, the package behind the image
// unpacked (setup's unpacker or setup-lite's), then the extracted programs
// found, started and followed.
struct Extraction {
    char szWorkDir[MAX_PATH];
    WorkDirHold hold;
    HANDLE hOwn;           // the own file, held from the size check to the last record
    HANDLE hHelper;        // the companion's or the registration tool's process, once started
    HANDLE hInstaller;     // the inner installer's process, once started
    DWORD dwInstallerExit; // its exit code, once it has ended
};
// Runs a launcher's sequence on a fresh extraction and lets go of the work
// directory and the installer's process however the sequence ended. After a
// sequence that succeeded, *pdwInstallerExit is the inner installer's exit
// code.
int RunExtraction(int (*pfnSequence)(Extraction* pEx, DWORD* pdwErr), DWORD* pdwErr,
                  DWORD* pdwInstallerExit);
// Ends the hold on the work directory and the own file once the installer
// runs; safe to call twice.
void EndExtraction(Extraction* pEx);
// Sets *pdwErr to dwErr and returns 0, for the steps' failure paths.
int LaunchFail(DWORD* pdwErr, DWORD dwErr);
// How a launcher extracts: setup's unpacker logs as it goes, setup-lite's
// is quiet. Each names its own, so that neither image carries the other's.
struct ExtractWay {
    int (*pfnUnpack)(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                     const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, PkgWatch* pWatch);
    LauncherKind eKind;
};
// Extracts the package behind the own image, checking its seal on the way;
// the progress window is gone when it returns. A damaged setup (its seal
// does not match, or cannot be read) fails with 1620 after its box (its
// text logged without a desktop); one the user cancelled, with
// LAUNCH_CANCELLED.
int ExtractPackage(Extraction* pEx, const ExtractWay* pWay, DWORD* pdwErr);
// Not an error number: a sequence that fails with it was cancelled by the
// user, and its run ends as RUN_EXTRACTION_CANCELLED.
enum : DWORD { LAUNCH_CANCELLED = EXIT_CODE_CANCELLED };
// How a sequence that failed with dwErr ends the run: "install failed with
// Err N." and RUN_INSTALL_FAILED, or the cancel's ending.
RunOutcome EndFailedSequence(DWORD dwErr);

// The progress window of a long extraction (core/progress_window.cpp):
// ExtractionChunk is the walk's hook between chunks, 0 once Cancel was
// pressed; EndProgress closes the window.
struct ExtractionProgress {
    LauncherKind eKind;
    DWORD dwStart, dwLastPump;
    int bOpened; // the second has passed: shown, or not where nobody sees it
    HWND hWnd;
    int nPercent;
    int bCancelled;
};
void StartProgress(ExtractionProgress* pProgress, LauncherKind eKind);
int ExtractionChunk(void* pCtx, uint64_t ullDone, uint64_t ullTotal);
void EndProgress(ExtractionProgress* pProgress);
int FindExtracted(const Extraction* pEx, const char* pszName);
// Starts the inner installer shown and waits until it runs (*pdwWaits: the
// number of waits); 358 when the system would not start it.
int StartInstaller(Extraction* pEx, DWORD* pdwErr, DWORD* pdwWaits);
// Waits until the inner installer has gone, logs "is-stp ended at N." and
// keeps its exit code (0 when it cannot be read).
void FollowInstallerToEnd(Extraction* pEx);
// The exit code of the inner installer, whose name has gone from the process
// list; 0, logged as unread, when it cannot be read.
DWORD ReadInstallerExitCode(HANDLE hProcess);
// "the inner installer ended with code N." in the setup log.
void LogInstallerCode(DWORD dwCode);
// "install failed with Err N." in the setup log.
void LogInstallFailure(DWORD dwErr);
// The box of a damaged setup; without an interactive desktop its text goes
// to the setup log instead.
void ShowDamagedSetup(LauncherKind eKind);
