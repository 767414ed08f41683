// The lite launcher end to end: real setup-lite.exe files built by the test
// with packages of demo programs, the registry it reads and writes, and the
// lines it leaves in the setup log.
#include "chinese_system.h"
#include "english_texts.h"
#include "file_util.h"
#include "hidden_desktop.h"
#include "log_lines.h"
#include "package_format.h"
#include "machine_registry.h"
#include "msgbox_watch.h"
#include "setup_builder.h"
#include "start_checks.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace
{

const char kFreeSpace[] = "The C free space is \\d+M\\.";

std::string Code(DWORD dwCode)
{
    return "the inner installer ended with code " + std::to_string(dwCode) + "\\.";
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

class LiteTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        CreateDirectoryA(In("src").c_str(), NULL);
        ResetInstalledClient();
        SetFlag(0);
        NextRun();
    }
    // No log and no work directory, so that a run's log lines are its own
    // (under Wine a run sets an earlier run's work directory aside, and says so).
    void NextRun()
    {
        RemoveLogDir();
        RemoveWorkDirs();
    }

    void Add(const char* pszName, const std::string& contents = "")
    {
        ASSERT_TRUE(contents.empty() ? AddProgram(In("src"), pszName)
                                     : AddFile(In("src"), pszName, contents));
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
        return BuildSetup(In("src"), "setup-lite.exe", In("setup-lite.exe"), false);
    }
};

TEST_F(LiteTest, WithoutAClientTheRegistrationToolRunsFirst)
{
    AddRegistrationTool(700);
    AddInstaller("RunMs=1200");
    EXPECT_EQ(RunSetup(BuildLite()), 0u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "is-stp started at \\d+, 1\\.",
                                "setupflag is set\\.", "is-stp fine at \\d+\\.",
                                "is-stp ended at [1-9]\\d*\\.", Code(0), InstallerEndedLine(0)})));
    EXPECT_EQ(ReadOr(WorkFile("KelvoRegister.record.txt")),
              "args=\r\ncwd=C:\\tmp\\KelvoSetup0\r\noptional_dll=none\r\nended=1\r\n");
    EXPECT_EQ(Flag(), 1u) << "the installer's flag stays as it left it";
}

// The installer here asks for a restart: its code is the launcher's.
TEST_F(LiteTest, WithAClientTheRegistrationToolIsNeitherNeededNorStarted)
{
    RegisterClient("Kelvo Client 5.0");
    AddInstaller("RunMs=300\r\nExitCode=3010");
    EXPECT_EQ(RunSetup(BuildLite()), 3010u);
    EXPECT_TRUE(
        LogLinesAre(RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "Kelvo Client 5\\.0",
                                            "is-stp started at \\d+, 0\\.", "setupflag is set\\.",
                                            "is-stp fine at \\d+\\.", "is-stp ended at \\d+\\.",
                                            Code(3010), InstallerEndedLine(3010)})));
}

TEST_F(LiteTest, MissingProgramsStopWithTheirNumbers)
{
    Add("readme.txt", "no programs");
    EXPECT_EQ(RunSetup(BuildLite()), 355u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "install failed with Err 355\\.",
                                InstallFailedLine(355)})))
        << "the registration tool is looked for before the installer";

    NextRun();
    RegisterClient("Kelvo Client");
    EXPECT_EQ(RunSetup(BuildLite()), 356u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "Kelvo Client",
                                "install failed with Err 356\\.", InstallFailedLine(356)})));

    // Both programs are looked for before the registration tool starts.
    NextRun();
    ResetInstalledClient();
    AddRegistrationTool();
    EXPECT_EQ(RunSetup(BuildLite()), 356u);
    EXPECT_EQ(ReadOr(WorkFile("KelvoRegister.record.txt")), "<missing>") << "nothing was started";
}

TEST_F(LiteTest, ProgramsTheShellCannotStartStopWithTheirNumbers)
{
    Add("KelvoRegister.exe", "this is not a program\r\n");
    AddInstaller();
    EXPECT_EQ(RunSetup(BuildLite()), 357u);
    EXPECT_TRUE(LogLinesAre(RunLines(
        "setup-lite", {kFreeSpace, kSealMatchesLine,
                       "StartExtracted: KelvoRegister\\.exe cannot be started, err \\d+\\.",
                       "install failed with Err 357\\.", InstallFailedLine(357)})));

    NextRun();
    RegisterClient("Kelvo Client");
    ASSERT_TRUE(AddForeignProgram(In("src"), "KelvoSetup.exe"));
    EXPECT_EQ(RunSetup(BuildLite()), 358u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "Kelvo Client",
                                "StartExtracted: KelvoSetup\\.exe cannot be started, err \\d+\\.",
                                "install failed with Err 358\\.", InstallFailedLine(358)})));
}

// An installer that ends without setting the flag failed, whatever an
// earlier run left in it. Its own code is logged and passed on (a failure
// of its own, the exception that ended it); one that ended with 0 all the
// same gives 354.
TEST_F(LiteTest, InstallerEndingWithoutTheFlagFailsEvenIfAnEarlierRunLeftItSet)
{
    AddRegistrationTool();
    struct {
        const char* pszOptions;
        DWORD dwCode, dwExit;
    } cases[] = {
        {"SetFlag=0\r\nExitCode=1603", 1603, 1603},
        {"SetFlag=0\r\nCrash=1", EXCEPTION_ACCESS_VIOLATION, EXCEPTION_ACCESS_VIOLATION},
        {"SetFlag=0\r\nExitCode=0", 0, 354},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszOptions);
        NextRun();
        ResetInstalledClient();
        SetFlag(1); // an earlier run's success must not count for this one
        AddInstaller((std::string("RunMs=300\r\n") + c.pszOptions).c_str());
        EXPECT_EQ(RunSetup(BuildLite()), c.dwExit);
        std::vector<std::string> lines = {kFreeSpace,
                                          kSealMatchesLine,
                                          "is-stp started at \\d+, 1\\.",
                                          "setup-process is out\\.",
                                          "setupflag is not set\\.",
                                          Code(c.dwCode)};
        if (c.dwExit == 354)
            lines.insert(lines.end(), {"install failed with Err 354\\.", InstallFailedLine(354)});
        else
            lines.push_back(InstallerEndedLine(c.dwExit));
        EXPECT_TRUE(LogLinesAre(RunLines("setup-lite", lines)));
        EXPECT_EQ(Flag(), 0u);
    }
}

// A signed setup-lite: signed-setup-test signs it on Linux (the signer is a
// Linux program) and runs this case on it. Its unpacker ends the package
// where the certificate table begins, so it installs as the unsigned one
// does and leaves nothing of the signature in the work directory.
TEST_F(LiteTest, SignedSetupLiteInstalls)
{
    if (!LaidOutBy("signed-setup-test"))
        GTEST_SKIP() << "signed-setup-test signs the setup for this case";
    EXPECT_EQ(RunSetup("C:\\tmp\\kelvo-signed\\lite-signed.exe"), 0u);
    EXPECT_TRUE(LogLinesAre(
        RunLines("setup-lite", {kFreeSpace, kSealMatchesLine, "is-stp started at \\d+, 1\\.",
                                "setupflag is set\\.", "is-stp fine at \\d+\\.",
                                "is-stp ended at \\d+\\.", Code(0), InstallerEndedLine(0)})));
    const std::vector<std::string> kExtracted = {
        "KelvoRegister.exe", "KelvoRegister.ini", "KelvoRegister.record.txt",
        "KelvoSetup.exe",    "KelvoSetup.ini",    "KelvoSetup.record.txt",
        "data.ini"};
    EXPECT_EQ(Names(std::string(kWorkDir) + "\\*"), kExtracted);
    EXPECT_EQ(Flag(), 1u);
}

// The signature covers the seal and the package, but the launcher checks
// the seal: a bit flipped in the signed setup's package starts nothing.
TEST_F(LiteTest, SignedSetupLiteWithAFlippedBitIsRefused)
{
    if (!LaidOutBy("signed-setup-test"))
        GTEST_SKIP() << "signed-setup-test signs the setup for this case";
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile("C:\\tmp\\kelvo-signed\\lite-signed.exe", &bytes));
    bytes[PKG_OFFSET + 1000] ^= 0x04;
    Write("flipped.exe", bytes);
    EXPECT_EQ(RunSetup(In("flipped.exe"), HiddenDesktop()), 1620u);
    EXPECT_FALSE(Exists(WorkFile("KelvoSetup.record.txt")));
    EXPECT_FALSE(Exists(WorkFile("KelvoRegister.record.txt")));
    EXPECT_TRUE(LogHasInOrder(
        {"ExtractPackage: the setup file is damaged: its seal expects .*", "exit code 1620: .*"}));
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
        EXPECT_EQ(dwExit, 1618u);
        // Shows something on Windows only: see PasswordDialogTest.
        EXPECT_EQ(PlantedDllLoads(), "") << "a library planted beside the launchers was loaded";
    }
    void BuildBoth(std::string* pSetup, std::string* pLite)
    {
        RegisterClient("Kelvo Client");
        AddInstaller("RunMs=2500");
        Add("dovRelsvc.exe");
        *pLite = BuildLite();
        *pSetup = BuildSetup(In("src"), "setup.exe", In("setup.exe"), false);
        ASSERT_TRUE(PlantDlls(dir)); // beside both launchers
    }
};

TEST_F(LiteExclusion, EachLauncherRefusesWhileTheOtherRuns)
{
    std::string setup, lite;
    BuildBoth(&setup, &lite);
    ExpectRefusedWhileOtherRuns(lite, setup, kEnglishCaption, kEnglishAnotherInstance);
    RemoveWorkDirs();
    ExpectRefusedWhileOtherRuns(setup, lite, kEnglishCaption, kEnglishAnotherInstance);
}

// Each launcher refuses in its own Chinese words, in GBK.
TEST_F(LiteExclusion, ChineseRefusalsAreEachLaunchersOwn)
{
    SKIP_UNLESS_CHINESE_SYSTEM();
    std::string setup, lite;
    BuildBoth(&setup, &lite);
    ExpectRefusedWhileOtherRuns(lite, setup, GbkBytes(kGbkSetupCaption),
                                GbkBytes(kGbkAnotherInstance));
    RemoveWorkDirs();
    ExpectRefusedWhileOtherRuns(setup, lite, GbkBytes(kGbkLiteCaption),
                                GbkBytes(kGbkLiteAnotherInstance));
}

} // namespace
