// The setup launcher run end to end as a user meets it: a real setup.exe,
// real processes of the watched names, its message boxes on the test display
// read and answered, the log it leaves in c:\KelvoLog and the exit code a
// deployment tool reads.
#include "chinese_system.h"
#include "english_texts.h"
#include "hidden_desktop.h"
#include "log_lines.h"
#include "msgbox_watch.h"
#include "start_checks.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <regex>

namespace
{

const DWORD kBoxTimeoutMs = 20000;
const DWORD kExitTimeoutMs = 20000;
const char kBusyLines[] = "another launcher is running; try again later\\.";

class EntryTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
        RemoveWorkDirs();       // under Wine a run would set it aside first, and say so
        ResetInstalledClient(); // a protected client would ask for its password first
    }

    bool StartSetup(PROCESS_INFORMATION* pPi)
    {
        return StartProgram(BinPath("setup.exe"), "", pPi);
    }

    // Runs setup.exe to its refusal box, presses OK and checks the exit code.
    void ExpectRefusal(const std::string& caption, const std::string& text, DWORD dwCode = 1618)
    {
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(StartSetup(&pi));
        MessageBoxSeen seen;
        bool bSeen = WatchMessageBox(caption.c_str(), pi.dwProcessId, kBoxTimeoutMs, &seen);
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
        ASSERT_TRUE(bSeen) << "no box captioned " << ToHex(caption);
        EXPECT_EQ(ToHex(seen.text), ToHex(text)) << seen.text;
        EXPECT_FALSE(seen.bHasCancel);
        EXPECT_EQ(dwExit, dwCode);
    }
};

// The English refusals, word for word.
class EntryEnglish : public EntryTest
{
  protected:
    const std::string caption = kEnglishCaption;
    const std::string busy = kEnglishAnotherInstance;
};

// The bare launcher image carries no package: it passes every check and then
// finds its own file too short (352), which is its exit code.
TEST_F(EntryEnglish, CleanStartPassesTheChecksLogsFreeSpaceAndExitsWith352)
{
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartSetup(&pi));
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 352u);

    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, &total, &totalFree));
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup", {"The C free space is \\d+M\\.", "install failed with Err 352\\.",
                           "Exit main", InstallFailedLine(352)})));
    std::string log = ReadOr(TodaySetupLogPath(), "");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(log, m, std::regex("\\] The C free space is (\\d+)M\\.\r\n")));
    EXPECT_NEAR(std::stod(m[1]), (double)(avail.QuadPart / 1048576), 256.0);
}

TEST_F(EntryEnglish, HeldInstanceEventRefusesTheStartBeforeAnyCheck)
{
    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    ExpectRefusal(caption, busy);
    CloseHandle(hHeld);
    EXPECT_TRUE(LogLinesAre(RunLines("setup", {std::string("start refused: ") + kBusyLines,
                                               std::string("exit code 1618: ") + kBusyLines})));
}

// A deployment agent runs the launcher as SYSTEM, where nobody sees a box:
// the refusal goes to the log, and the run ends instead of waiting. The
// launcher runs in a window station of its own here; the other case it
// knows, session 0 while the console has another session, is seen only on
// Windows: Wine puts every process in the console's session, 1.
TEST_F(EntryEnglish, WithoutADesktopTheRefusalIsLoggedInsteadOfShown)
{
    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(BinPath("setup.exe"), "", &pi, HiddenDesktop()));
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit)) << "it waits for an unseen box";
    CloseHandle(hHeld);
    EXPECT_EQ(dwExit, 1618u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup", {std::string("start refused: ") + kBusyLines,
                           "no interactive desktop, so this is not shown: A previous instance is "
                           "still running\\.  Please try it later\\.",
                           std::string("exit code 1618: ") + kBusyLines})));
}

// Any user may make an object of the launchers' name first: a mutex, or an
// event of their own in the session or in Global\ (which a run as SYSTEM in
// session 0 sees as its own name). None of them stops a launcher; each is
// named in the log as ignored. An administrator's event is a launcher's (as
// the test above shows); under Wine the owner a test gives an event stands
// in for the account that made it.
TEST_F(EntryEnglish, NameTakenByAStandardUserDoesNotStopTheLauncher)
{
    const std::string kIgnoredUserEvent = "HoldInstanceObjects: the event evnt_Kelvo_stpDamon was "
                                          "made by someone who is not an administrator; it is "
                                          "ignored\\.";
    const std::string kIgnoredOther = "HoldInstanceObjects: evnt_Kelvo_stpDamon is taken by an "
                                      "object no launcher makes \\(another kind, or one it may "
                                      "not open\\); it is ignored, err 6\\.";
    struct {
        const char* pszWhat;
        HANDLE (*pfnSquat)();
        std::vector<std::string> ignored;
    } cases[] = {
        {"a mutex", [] { return CreateMutexA(NULL, FALSE, kInstanceEvent); }, {kIgnoredOther}},
        {"a user's event", [] { return HoldInstanceEvent("BU"); }, {kIgnoredUserEvent}},
        {"a user's event in Global\\", [] { return HoldInstanceEvent("BU", true); }, {}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        HANDLE hSquatter = c.pfnSquat();
        ASSERT_NE(hSquatter, nullptr);
        RemoveLogDir();
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(StartSetup(&pi));
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
        CloseHandle(hSquatter);
        EXPECT_EQ(dwExit, 352u) << "the bare image runs through its checks";
        std::vector<std::string> lines = c.ignored;
        lines.push_back("The C free space is \\d+M\\.");
        EXPECT_TRUE(LogHasInOrder(lines));
    }
}

// The run's first line says who ran what: the launcher and its version,
// the user, the session, elevation, the desktop, and the command line as
// given, whose arguments the launchers do not act on and say so. (Under
// Wine every program runs as an elevated administrator in session 1.)
TEST_F(EntryEnglish, FirstLineSaysWhoRanWhatAndThatArgumentsAreNotUsed)
{
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(BinPath("setup.exe"), "/quiet /log c:\\x.txt", &pi, HiddenDesktop()));
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 352u) << "the arguments change nothing";
    EXPECT_TRUE(
        LogHasInOrder({RunHeader("setup", "no interactive desktop", "/quiet /log c:\\x.txt"),
                       "install failed with Err 352\\."}));
    EXPECT_EQ(Names("c:\\x.txt"), std::vector<std::string>{}) << "no log of that name";
}

// An inner installer that outlived its launcher (a deployment agent killed
// the launcher at a time-out) is left to finish; a new launcher does not
// start a second installer beside it: 1618, naming the process.
TEST_F(EntryEnglish, EarlierRunsInstallerStillRunningRefusesTheStart)
{
    ScopedStandIn installer(dir, "KelvoSetup.exe");
    ASSERT_TRUE(installer.Started());
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(BinPath("setup.exe"), "", &pi, HiddenDesktop()));
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 1618u);
    const char kStillRunning[] =
        "the inner installer of an earlier run is still running; try again later\\.";
    EXPECT_TRUE(LogLinesAre(RunLines(
        "setup", {"The C free space is \\d+M\\.",
                  "another install is still running: KelvoSetup\\.exe \\(process \\d+\\)\\.",
                  std::string("start refused: ") + kStillRunning,
                  "no interactive desktop, so this is not shown: A previous instance is still "
                  "running\\.  Please try it later\\.",
                  std::string("exit code 1618: ") + kStillRunning})));
}

// The same refusal answered by the msgbox-watch program, as a script would.
TEST_F(EntryEnglish, WatcherProgramReadsAndAnswersTheRefusal)
{
    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartSetup(&pi));
    std::string out;
    DWORD dwWatcherExit = 99, dwSetupExit = 99;
    bool bRan = RunAndCapture(BinPath("msgbox-watch.exe"), "--timeout-ms 20000 \"" + caption + "\"",
                              30000, &dwWatcherExit, &out);
    EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwSetupExit));
    CloseHandle(hHeld);
    ASSERT_TRUE(bRan);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end()); // console text mode
    EXPECT_EQ(dwWatcherExit, 0u);
    EXPECT_NE(out.find("text " + ToHex(busy) + "\n"), std::string::npos) << out;
    EXPECT_EQ(dwSetupExit, 1618u);
}

TEST_F(EntryEnglish, RunningUpdateToolRefusesTheStartUnderEitherName)
{
    for (const char* pszName : {"Tramvelcordix.exe", "Tramvelcordix.e"}) {
        SCOPED_TRACE(pszName);
        RemoveLogDir();
        ScopedStandIn tool(dir, pszName);
        ASSERT_TRUE(tool.Started());
        ExpectRefusal(caption, kEnglishUpdateToolRunning);
        EXPECT_TRUE(LogLinesAre(RunLines(
            "setup",
            {"The C free space is \\d+M\\.",
             "start refused: the customisation-update tool is running; try again later\\.",
             "exit code 1618: the customisation-update tool is running; try again later\\."})));
    }
}

TEST_F(EntryEnglish, SecondLauncherIsRefusedWhileTheFirstHoldsTheEvent)
{
    PROCESS_INFORMATION first;
    {
        ScopedStandIn tool(dir, "Tramvelcordix.exe");
        ASSERT_TRUE(tool.Started());
        // The first launcher stops at its own refusal and keeps the event.
        ASSERT_TRUE(StartSetup(&first));
        MessageBoxSeen firstSeen;
        HWND hFirstBox =
            FindMessageBox(caption.c_str(), first.dwProcessId, kBoxTimeoutMs, &firstSeen);
        ASSERT_NE(hFirstBox, nullptr);

        ExpectRefusal(caption, busy);

        PressOk(hFirstBox);
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&first, kExitTimeoutMs, &dwExit));
        EXPECT_EQ(dwExit, 1618u);
    }

    // Once both have ended the event is free again: the next start runs through.
    RemoveLogDir();
    PROCESS_INFORMATION next;
    ASSERT_TRUE(StartSetup(&next));
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitProgram(&next, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 352u);
    EXPECT_TRUE(LogHasInOrder({"Exit main", "exit code 352: .*"}));
}

// The Chinese (PRC) system of the zh_CN run: the texts in GBK.
class EntryChinese : public EntryTest
{
  protected:
    void SetUp() override
    {
        SKIP_UNLESS_CHINESE_SYSTEM();
        EntryTest::SetUp();
    }
    const std::string caption = GbkBytes(kGbkSetupCaption);
};

TEST_F(EntryChinese, HeldInstanceEventShowsTheChineseMessage)
{
    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    ExpectRefusal(caption, GbkBytes(kGbkAnotherInstance));
    CloseHandle(hHeld);
}

TEST_F(EntryChinese, RunningUpdateToolShowsItsOwnChineseMessage)
{
    ScopedStandIn tool(dir, "Tramvelcordix.e");
    ASSERT_TRUE(tool.Started());
    ExpectRefusal(caption, GbkBytes(kGbkUpdateToolRunning));
}

} // namespace
