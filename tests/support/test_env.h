// What the tests share: where the built programs are, running them, stand-in
// processes of any name, and reading files and logs the programs wrote.
#pragma once

#include "hex.h"

#include <windows.h>
#include <string>
#include <vector>

// For the few places where Wine is known to behave unlike Windows.
bool RunningOnWine();

// The cases that need what a test script lays out around the prefix
// (work-link-test, disk-full-test, signed-setup-test): it runs them with
// KELVO_LAID_OUT naming itself, and any other run skips them.
bool LaidOutBy(const char* pszScript);

// The names that match a pattern (files and directories), sorted.
std::vector<std::string> Names(const std::string& pattern);

// build/bin, where every program of the project lands.
std::string BinDir();
std::string BinPath(const char* pszName);

// The shipped i686 programs (setup.exe, setup-lite.exe): this build's own,
// unless the suite is the x64 twin's, which is told by KELVO_SHIPPED_BIN
// where the i686 build put them. Reading them needs no 32-bit code.
std::string ShippedBinPath(const char* pszName);

// A fresh, empty directory C:\tmp\kelvo-tests\<name> for one test.
std::string FreshTestDir(const char* pszName);

bool WriteWholeFile(const std::string& path, const std::string& data);
bool ReadWholeFile(const std::string& path, std::string* pData);
// Something (a file, a directory, a link) is at the path.
bool Exists(const std::string& path);
// The whole content of a file, or pszMissing when it cannot be read.
std::string ReadOr(const std::string& path, const char* pszMissing = "<missing>");

// Starts a program with a command-line tail, on the given desktop
// ("station\\desktop", as HiddenDesktop() gives) or this program's own; the
// caller closes the handles.
bool StartProgram(const std::string& path, const std::string& args, PROCESS_INFORMATION* pPi,
                  const char* pszDesktop = NULL);
// The same, in the current directory pszCwd (NULL: this program's) and with
// the creation flags given (CREATE_SUSPENDED, say).
bool StartProgramIn(const std::string& path, const std::string& args, const char* pszCwd,
                    DWORD dwFlags, PROCESS_INFORMATION* pPi, const char* pszDesktop = NULL);
// Runs a console program to its end and collects its standard output, and
// with bWithStderr its standard error in the same text.
bool RunAndCapture(const std::string& path, const std::string& args, DWORD dwTimeoutMs,
                   DWORD* pdwExitCode, std::string* pOutput, bool bWithStderr = false);
// Waits for the process to end; false on timeout. Closes both handles.
bool WaitProgram(PROCESS_INFORMATION* pPi, DWORD dwTimeoutMs, DWORD* pdwExitCode);

// The stand-in program copied to dir\name and started; returns once it is
// running and listening. It runs until dwRunMs have passed or
// StopStandIns(name) is called.
bool StartStandIn(const std::string& dir, const char* pszName, DWORD dwRunMs,
                  PROCESS_INFORMATION* pPi);
void StopStandIns(const char* pszName);

// A stand-in that runs for the length of one scope (at most a minute).
class ScopedStandIn
{
  public:
    ScopedStandIn(const std::string& dir, const char* pszName);
    ~ScopedStandIn();
    ScopedStandIn(const ScopedStandIn&) = delete;
    ScopedStandIn& operator=(const ScopedStandIn&) = delete;
    bool Started() const
    {
        return m_bStarted;
    }
    void Stop();

  private:
    const char* m_pszName;
    PROCESS_INFORMATION m_pi = {};
    bool m_bStarted = false;
};

// Copies of kelvo_planted.dll in dir under the names of libraries that
// Windows loads by name for a launcher's windows and its own run-time loads
// (version.dll, uxtheme.dll, dwmapi.dll, ...), and no record of any load yet.
bool PlantDlls(const std::string& dir);
// What the planted copies recorded: one line per copy that was loaded, ""
// when none was.
std::string PlantedDllLoads();

// A machine without the client: no uninstall keys, no protection flag or
// stored password in the registry, no SetupFlag, no reginfo or legacy
// directory under Common Files, nothing under Program Files\Kelvo.
void ResetInstalledClient();

// The launchers' work directory, and a file in it.
inline constexpr char kWorkDir[] = "C:\\tmp\\KelvoSetup0";
std::string WorkFile(const char* pszName);

// No work directory: kWorkDir and what earlier runs set aside beside it
// (under Wine every run sets the last one's aside) are removed.
void RemoveWorkDirs();

// An object of the launchers' single-instance name, as a launcher makes it
// (owner "BA", Administrators) or as a standard user could ("BU"), made in
// the session or, with bGlobal, in Global\; NULL when it cannot be made.
// Wine takes any owner a test names; Windows only one in the caller's token.
HANDLE HoldInstanceEvent(const char* pszOwner, bool bGlobal = false);
inline constexpr char kInstanceEvent[] = "evnt_Kelvo_stpDamon";

// Today's log file names in c:\KelvoLog, and removal of the whole directory.
std::string TodaySetupLogPath();
std::string TodayModuleLogPath(const char* pszModule);
void RemoveLogDir();
