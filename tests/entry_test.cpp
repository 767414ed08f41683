// The setup launcher run end to end as a user meets it: a real setup.exe,
// real processes of the watched names, its message boxes on the test display
// read and answered, and the log it leaves in c:\KelvoLog.
#include "msgbox_watch.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <regex>

namespace
{

const char kInstanceEvent[] = "evnt_Kelvo_stpDamon";
const char kEnglishCaption[] = "Kelvo Setup";
const char kEnglishBusy[] = "A previous instance is still running. \nPlease try it later.";
const DWORD kBoxTimeoutMs = 20000;
const DWORD kExitTimeoutMs = 20000;

std::string SetupLog()
{
    std::string data;
    ReadWholeFile(TodaySetupLogPath(), &data);
    return data;
}

class EntryTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        RemoveLogDir();
        ResetInstalledClient(); // a protected client would ask for its password first
        dir = FreshTestDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    bool StartSetup(PROCESS_INFORMATION* pPi)
    {
        return StartProgram(BinPath("setup.exe"), "", pPi);
    }

    // Runs setup.exe to its refusal box, presses OK and checks the exit code.
    void ExpectRefusal(const std::string& caption, const std::string& text)
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
        EXPECT_EQ(dwExit, 0u);
    }

    std::string dir;
};

using EntryEnglish = EntryTest;

// The bare launcher image carries no package: it passes every check and then
// finds its own file too short (352). Under Wine a work directory left by an
// earlier run is set aside first (Wine does not report the token's default
// owner as its owner).
TEST_F(EntryEnglish, CleanStartPassesTheChecksLogsFreeSpaceAndExitsWithZero)
{
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartSetup(&pi));
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);

    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, &total, &totalFree));
    std::string log = SetupLog();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        log, m,
        std::regex("\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] The C free space is "
                   "(\\d+)M\\.\r\n(\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] PrepareWorkDir: .* set "
                   "aside\\.\r\n)?\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] install failed with "
                   "Err 352\\.\r\n\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] Exit main\r\n")))
        << log;
    EXPECT_NEAR(std::stod(m[1]), (double)(avail.QuadPart / 1048576), 256.0);
}

TEST_F(EntryEnglish, HeldInstanceEventRefusesTheStartBeforeAnyCheck)
{
    HANDLE hHeld = CreateEventA(NULL, FALSE, FALSE, kInstanceEvent);
    ASSERT_NE(hHeld, nullptr);
    ExpectRefusal(kEnglishCaption, kEnglishBusy);
    CloseHandle(hHeld);
    EXPECT_EQ(SetupLog(), "") << "a refused second launcher logs nothing";
}

// The same refusal answered by the msgbox-watch program, as a script would.
TEST_F(EntryEnglish, WatcherProgramReadsAndAnswersTheRefusal)
{
    HANDLE hHeld = CreateEventA(NULL, FALSE, FALSE, kInstanceEvent);
    ASSERT_NE(hHeld, nullptr);
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartSetup(&pi));
    std::string out;
    DWORD dwWatcherExit = 99, dwSetupExit = 99;
    bool bRan = RunAndCapture(BinPath("msgbox-watch.exe"), "--timeout-ms 20000 \"Kelvo Setup\"",
                              30000, &dwWatcherExit, &out);
    EXPECT_TRUE(WaitProgram(&pi, kExitTimeoutMs, &dwSetupExit));
    CloseHandle(hHeld);
    ASSERT_TRUE(bRan);
    out.erase(std::remove(out.begin(), out.end(), '\r'), out.end()); // console text mode
    EXPECT_EQ(dwWatcherExit, 0u);
    EXPECT_NE(out.find("text " + ToHex(kEnglishBusy) + "\n"), std::string::npos) << out;
    EXPECT_EQ(dwSetupExit, 0u);
}

TEST_F(EntryEnglish, RunningUpdateToolRefusesTheStartUnderEitherName)
{
    for (const char* pszName : {"Tramvelcordix.exe", "Tramvelcordix.e"}) {
        SCOPED_TRACE(pszName);
        RemoveLogDir();
        ScopedStandIn tool(dir, pszName);
        ASSERT_TRUE(tool.Started());
        ExpectRefusal(kEnglishCaption, kEnglishBusy);
        std::string log = SetupLog();
        EXPECT_NE(log.find("] The C free space is "), std::string::npos) << log;
        EXPECT_EQ(log.find("Exit main"), std::string::npos) << log;
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
            FindMessageBox(kEnglishCaption, first.dwProcessId, kBoxTimeoutMs, &firstSeen);
        ASSERT_NE(hFirstBox, nullptr);

        ExpectRefusal(kEnglishCaption, kEnglishBusy);

        PressOk(hFirstBox);
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&first, kExitTimeoutMs, &dwExit));
        EXPECT_EQ(dwExit, 0u);
    }

    // Once both have ended the event is free again: the next start runs through.
    RemoveLogDir();
    PROCESS_INFORMATION next;
    ASSERT_TRUE(StartSetup(&next));
    DWORD dwExit = 99;
    ASSERT_TRUE(WaitProgram(&next, kExitTimeoutMs, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_NE(SetupLog().find("] Exit main\r\n"), std::string::npos);
}

// Run by CTest with LANG=zh_CN.UTF-8: Wine then reports a Chinese (PRC)
// system whose ANSI code page is GBK.
class EntryChinese : public EntryTest
{
  protected:
    void SetUp() override
    {
        EntryTest::SetUp();
        ASSERT_EQ(GetSystemDefaultLangID(), 2052) << "run with LANG=zh_CN.UTF-8";
        ASSERT_EQ(GetACP(), 936u);
        ASSERT_TRUE(
            FromHex("b0b2d7b04b656c766fd6c7c4dcbfcdbba7b6cb", &caption)); // 安装Kelvo智能客户端
    }
    std::string caption;
};

TEST_F(EntryChinese, HeldInstanceEventShowsTheChineseMessage)
{
    std::string text; // 有正在运行的客户端安装程序，请稍候再试。
    ASSERT_TRUE(FromHex(
        "d3d0d5fdd4dad4cbd0d0b5c4bfcdbba7b6cbb0b2d7b0b3ccd0f2a3acc7ebc9d4baf2d4d9cad4a1a3", &text));
    HANDLE hHeld = CreateEventA(NULL, FALSE, FALSE, kInstanceEvent);
    ASSERT_NE(hHeld, nullptr);
    ExpectRefusal(caption, text);
    CloseHandle(hHeld);
}

TEST_F(EntryChinese, RunningUpdateToolShowsItsOwnChineseMessage)
{
    std::string text; // 客户端正在升级定制信息，请稍后再试。
    ASSERT_TRUE(
        FromHex("bfcdbba7b6cbd5fdd4dac9fdbcb6b6a8d6c6d0c5cfa2a3acc7ebc9d4baf3d4d9cad4a1a3", &text));
    ScopedStandIn tool(dir, "Tramvelcordix.e");
    ASSERT_TRUE(tool.Started());
    ExpectRefusal(caption, text);
}

} // namespace
