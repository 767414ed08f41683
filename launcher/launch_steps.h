// The steps both launchers take around the extraction: where they run from,
// the work directory they extract into, starting the extracted programs and
// waiting for them by name.
#pragma once

#include <windows.h>

#define SETUP_INNER_INSTALLER "KelvoSetup.exe"
// The installed client registers with Windows under this key.
#define CLIENT_UNINSTALL_KEY                                                                       \
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{5A0E3C71-2B64-4D8F-9E13-"           \
    "7C4B2A6D0F58}"

enum {
    LAUNCH_ERR_WORK_DIR = 351,
    LAUNCH_ERR_OWN_SIZE = 352,
    LAUNCH_ERR_NO_HELPER = 355, // the companion (setup) or the registration tool (lite)
    LAUNCH_ERR_NO_INSTALLER = 356,
    LAUNCH_ERR_HELPER_START = 357, // the shell would not start the companion or the tool
    LAUNCH_ERR_INSTALLER_START = 358,
};

// The launcher's own file: the full path, and the path split at its last
// backslash (a plain byte search) into directory and file name.
struct OwnPath {
    char szFull[MAX_PATH];
    char szDir[MAX_PATH];
    char szFile[MAX_PATH];
};
void GetOwnPath(OwnPath* pOwn);

// Checks that the own file carries a package behind its image. When the file
// cannot be found under its full path, the bare name is tried in the current
// directory and pszSrcDir becomes ".". bQuiet selects the size query that
// does not log.
int CheckOwnSize(const OwnPath* pOwn, int bQuiet, const char** ppszSrcDir);

// The work directory C:\tmp\KelvoSetup0, made or reused, emptied of files and
// protected so that only SYSTEM and Administrators may change it (Users may
// read and run). C:\tmp that is a link or cannot be held is a refusal that
// changes nothing; a work directory that is a link is removed as a link, one
// some other user owns is renamed aside, neither is ever entered. While held,
// neither directory can be renamed or deleted.
struct WorkDirHold {
    HANDLE hTmp;
    HANDLE hWork;
};
int PrepareWorkDir(char* pszOut, size_t cbOut, WorkDirHold* pHold);
void ReleaseWorkDir(WorkDirHold* pHold);
// What a reused work directory's subdirectories go through: every entry below
// pszDir gets the protected descriptor, and links are removed as links.
void MakeWorkSubdirsSafe(const char* pszDir);

// Starts dir\name through the shell; 1 when the shell took it. A result of
// 32 or less is its refusal (a file that is no program, or one this system
// cannot run), logged with its code. Whether the program then runs is for the
// waits below to see.
int StartExtracted(const char* pszDir, const char* pszName, const char* pszParams, int nShow);
// Checks every 50 ms, at most 600 times, until a process of the name shows
// up; returns the number of waits (600: never seen).
DWORD WaitForStart(const char* pszName);
// Checks every 500 ms, without limit, until no process of the name runs;
// returns the number of waits.
DWORD WaitForEnd(const char* pszName);
