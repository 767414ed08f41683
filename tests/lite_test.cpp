// The lite launcher end to end: real setup-lite.exe files built by the test
// with packages of demo programs, the registry it reads and writes, and the
// lines it leaves in the setup log.
#include "file_util.h"
#include "machine_registry.h"
#include "msgbox_watch.h"
#include "setup_builder.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <regex>
#include <vector>

namespace
{

const char kWorkDir[] = "C:\\tmp\\KelvoSetup0";

std::string ReadOr(const std::string& path)
{
    std::string data;
    return ReadWholeFile(path, &data) ? data : "<missing>";
}

std::string WorkFile(const char* pszName)
{
    return std::string(kWorkDir) + "\\" + pszName;
}

void SetFlag(DWORD dwValue)
{
    ASSERT_TRUE(SetMachineDword(SETUP_FLAG_KEY, SETUP_FLAG_VALUE, dwValue));
}

DWORD Flag()
{
    DWORD dwValue = 0xDEAD;
    ReadMachineDword(SETUP_FLAG_KEY, SETUP_FLAG_VALUE, &dwValue);
    return dwValue;
}

void RegisterClient(const char* pszName)
{
    ASSERT_TRUE(SetMachineString(CLIENT_UNINSTALL_KEY, CLIENT_DISPLAY_NAME_VALUE, pszName));
}

// Exactly these lines after the free-space line, in this order.
::testing::AssertionResult LogLinesAre(const std::vector<std::string>& patterns)
{
    std::string log = ReadOr(TodaySetupLogPath());
    std::string expected = "\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] The C free space is \\d+M\\.\r\n"
                           "(\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] PrepareWorkDir: .* set aside\\.\r\n)?";
    for (const std::string& pattern : patterns)
        expected += "\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] " + pattern + "\r\n";
    if (std::regex_match(log, std::regex(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "log:\n" << log;
}

class LiteTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        RemoveLogDir();
        dir = FreshTestDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
        CreateDirectoryA((dir + "\\src").c_str(), NULL);
        ResetInstalledClient();
        SetFlag(0);
        RemoveWorkDirs();
    }

    void Add(const char* pszName, const std::string& contents = "")
    {
        ASSERT_TRUE(contents.empty() ? AddProgram(dir + "\\src", pszName)
                                     : AddFile(dir + "\\src", pszName, contents));
    }
    void AddInstaller(const std::string& options = "RunMs=300")
    {
        Add("KelvoSetup.exe");
        Add("KelvoSetup.ini", "[Demo]\r\n" + options + "\r\n");
    }
    void AddRegistrationTool(int nRunMs = 300)
    {
        Add("KelvoRegister.exe");
        Add("KelvoRegister.ini", "[Demo]\r\nRunMs=" + std::to_string(nRunMs) + "\r\n");
    }

    std::string BuildLite()
    {
        return BuildSetup(dir + "\\src", "setup-lite.exe", dir + "\\setup-lite.exe", false);
    }

    DWORD Run(const std::string& exe)
    {
        PROCESS_INFORMATION pi;
        DWORD dwExit = 99;
        EXPECT_TRUE(StartProgram(exe, "", &pi));
        EXPECT_TRUE(WaitProgram(&pi, 120000, &dwExit)) << exe << " did not end";
        return dwExit;
    }

    std::string dir;
};

TEST_F(LiteTest, WithoutAClientTheRegistrationToolRunsFirst)
{
    AddRegistrationTool(700);
    AddInstaller("RunMs=1200");
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre({"is-stp started at \\d+, 1\\.", "setupflag is set\\.",
                             "is-stp fine at \\d+\\.", "is-stp ended at [1-9]\\d*\\."}));
    EXPECT_EQ(ReadOr(WorkFile("KelvoRegister.record.txt")), "args=\r\nended=1\r\n");
    EXPECT_EQ(Flag(), 1u) << "the installer's flag stays as it left it";
}

TEST_F(LiteTest, WithAClientTheRegistrationToolIsNeitherNeededNorStarted)
{
    RegisterClient("Kelvo Client 5.0");
    AddInstaller();
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(
        LogLinesAre({"Kelvo Client 5\\.0", "is-stp started at \\d+, 0\\.", "setupflag is set\\.",
                     "is-stp fine at \\d+\\.", "is-stp ended at \\d+\\."}));
}

TEST_F(LiteTest, MissingProgramsStopWithTheirNumbers)
{
    Add("readme.txt", "no programs");
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre({"install failed with Err 355\\."}))
        << "the registration tool is looked for before the installer";

    RemoveLogDir();
    RegisterClient("Kelvo Client");
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre({"Kelvo Client", "install failed with Err 356\\."}));
}

TEST_F(LiteTest, ProgramsTheShellCannotStartStopWithTheirNumbers)
{
    Add("KelvoRegister.exe", "this is not a program\r\n");
    AddInstaller();
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre({"StartExtracted: KelvoRegister\\.exe cannot be started, code \\d+\\.",
                             "install failed with Err 357\\."}));

    RemoveLogDir();
    RegisterClient("Kelvo Client");
    ASSERT_TRUE(AddForeignProgram(dir + "\\src", "KelvoSetup.exe"));
    EXPECT_EQ(Run(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre({"Kelvo Client",
                             "StartExtracted: KelvoSetup\\.exe cannot be started, code \\d+\\.",
                             "install failed with Err 358\\."}));
}

// Whether it ends normally or dies of an unhandled exception.
TEST_F(LiteTest, InstallerEndingWithoutTheFlagFailsEvenIfAnEarlierRunLeftItSet)
{
    AddRegistrationTool();
    for (const char* pszOptions : {"RunMs=300\r\nSetFlag=0", "RunMs=300\r\nSetFlag=0\r\nCrash=1"}) {
        SCOPED_TRACE(pszOptions);
        RemoveLogDir();
        ResetInstalledClient();
        SetFlag(1); // an earlier run's success must not count for this one
        AddInstaller(pszOptions);
        EXPECT_EQ(Run(BuildLite()), 0u);
        EXPECT_TRUE(LogLinesAre({"is-stp started at \\d+, 1\\.", "setup-process is out\\.",
                                 "setupflag is not set\\.", "install failed with Err 354\\."}));
        EXPECT_EQ(Flag(), 0u);
    }
    EXPECT_NE(ReadOr(WorkFile("KelvoSetup.record.txt")).find("crash=1"), std::string::npos);
}

// The two launchers share the single-instance event: each refuses to start
// while the other runs, with its own first message.
class LiteExclusion : public LiteTest
{
  protected:
    void ExpectRefusedWhileOtherRuns(const std::string& first, const std::string& second,
                                     const std::string& caption, const std::string& text)
    {
        PROCESS_INFORMATION running;
        ASSERT_TRUE(StartProgram(first, "", &running));
        for (int i = 0; i < 200 && ReadOr(WorkFile("KelvoSetup.record.txt")) == "<missing>"; ++i)
            Sleep(50); // the first launcher is in its waits now
        PROCESS_INFORMATION refused;
        ASSERT_TRUE(StartProgram(second, "", &refused));
        MessageBoxSeen seen;
        bool bSeen = WatchMessageBox(caption.c_str(), refused.dwProcessId, 20000, &seen);
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&refused, 20000, &dwExit));
        EXPECT_TRUE(WaitProgram(&running, 60000, NULL));
        ASSERT_TRUE(bSeen);
        EXPECT_EQ(ToHex(seen.text), ToHex(text));
        EXPECT_EQ(dwExit, 0u);
    }
    void BuildBoth(std::string* pSetup, std::string* pLite)
    {
        RegisterClient("Kelvo Client");
        AddInstaller("RunMs=2500");
        Add("dovRelsvc.exe");
        *pLite = BuildLite();
        *pSetup = BuildSetup(dir + "\\src", "setup.exe", dir + "\\setup.exe", false);
    }
};

TEST_F(LiteExclusion, EachLauncherRefusesWhileTheOtherRuns)
{
    std::string setup, lite;
    BuildBoth(&setup, &lite);
    const char kBusy[] = "A previous instance is still running. \nPlease try it later.";
    ExpectRefusedWhileOtherRuns(lite, setup, "Kelvo Setup", kBusy);
    RemoveWorkDirs();
    ExpectRefusedWhileOtherRuns(setup, lite, "Kelvo Setup", kBusy);
}

// Run with LANG=zh_CN.UTF-8: each launcher refuses in its own Chinese words.
TEST_F(LiteExclusion, ChineseRefusalsAreEachLaunchersOwn)
{
    ASSERT_EQ(GetSystemDefaultLangID(), 2052) << "run with LANG=zh_CN.UTF-8";
    std::string setup, lite;
    BuildBoth(&setup, &lite);
    std::string setupCaption, setupText, liteCaption, liteText;
    FromHex("b0b2d7b04b656c766fd6c7c4dcbfcdbba7b6cb", &setupCaption);
    FromHex("d3d0d5fdd4dad4cbd0d0b5c4bfcdbba7b6cbb0b2d7b0b3ccd0f2a3acc7ebc9d4baf2d4d9cad4a1a3",
            &setupText);
    FromHex("b0b2d7b0204b656c766f20d6c7c4dcbfcdbba7b6cb", &liteCaption);
    FromHex("b4cbc7b0d4cbd0d0b5c4b3ccd0f2cab5c0fdbbb9c3bbd3d0cdeac8abcdcbb3f6a3acc7ebc9d4baf2d4d9"
            "cad4a1a3",
            &liteText);
    ExpectRefusedWhileOtherRuns(lite, setup, setupCaption, setupText);
    RemoveWorkDirs();
    ExpectRefusedWhileOtherRuns(setup, lite, liteCaption, liteText);
}

} // namespace
