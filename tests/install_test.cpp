// Whole installs: a real setup.exe built by the test with its own package of
// demo programs, run under Wine, and what it leaves behind: the work
// directory, the demo installer's registry values and files, the setup log,
// its exit code.
#include "file_util.h"
#include "hidden_desktop.h"
#include "launch_steps.h"
#include "log_lines.h"
#include "machine_registry.h"
#include "seal.h"
#include "setup_builder.h"
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>
#include <algorithm>
#include <regex>
#include <string.h>
#include <vector>

namespace
{

// A file's or directory's DACL as SDDL, "" when it cannot be read.
std::string DaclSddl(const char* pszPath)
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    PACL pDacl = NULL;
    if (GetNamedSecurityInfoA(pszPath, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL,
                              &pDacl, NULL, &pSd) != ERROR_SUCCESS)
        return "";
    char* pszSddl = NULL;
    std::string sddl;
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            pSd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &pszSddl, NULL))
        sddl = pszSddl;
    LocalFree(pszSddl);
    LocalFree(pSd);
    return sddl;
}

// What a work directory holds after a demo install: the package's files, the
// end record's empty file and what the demo programs recorded.
const std::vector<std::string> kInstalledNames = {
    "KelvoClient.ini", "KelvoSetup.exe", "KelvoSetup.ini", "KelvoSetup.record.txt",
    "^Kelvo_end^",     "dovRelsvc.exe",  "dovRelsvc.ini",  "dovRelsvc.record.txt"};

// What the demo companion records when the launcher starts it: its switch,
// and the work directory as the folder it runs in, where it finds no
// optional plug-in of a bare name.
const char kCompanionRecord[] =
    "args=-setUpdInfo\r\ncwd=C:\\tmp\\KelvoSetup0\r\noptional_dll=none\r\nended=1\r\n";

const char kSetAsideLine[] = "PrepareWorkDir: C:\\\\tmp\\\\KelvoSetup0 is set aside as "
                             "C:\\\\tmp\\\\KelvoSetup0\\.old\\.\\d+\\.";

class InstallTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        ResetMachine();
        RemoveWorkDirs();
    }

    // A fresh test directory with an empty src, no logs, no client.
    void ResetMachine()
    {
        TestDirFixture::SetUp();
        CreateDirectoryA(In("src").c_str(), NULL);
        RemoveLogDir();
        ResetInstalledClient();
    }

    void Add(const char* pszName, const std::string& contents = "")
    {
        ASSERT_TRUE(contents.empty() ? AddProgram(In("src"), pszName)
                                     : AddFile(In("src"), pszName, contents));
    }
    void AddDemoPrograms(int nInstallerMs = 300, int nCompanionMs = 100)
    {
        ASSERT_TRUE(::AddDemoPrograms(In("src"), nInstallerMs, nCompanionMs));
    }
    std::string BuildSetup()
    {
        return ::BuildSetup(In("src"), "setup.exe", In("setup.exe"));
    }
};

// The same, with whatever stands at the work directory left in place.
class InstallLink : public InstallTest
{
  protected:
    void SetUp() override
    {
        if (!LaidOutBy("work-link-test"))
            GTEST_SKIP() << "run by work-link-test, which lays out the links";
        ResetMachine();
    }
};

TEST_F(InstallTest, NormalRunExtractsRunsBothProgramsAndLogsInOrder)
{
    AddDemoPrograms(1200, 700);
    std::string setup = BuildSetup();
    EXPECT_EQ(RunSetup(setup), 0u);

    EXPECT_EQ(ReadOr(WorkFile("KelvoClient.ini")), "[Client]\r\nServer=test\r\n");
    EXPECT_EQ(ReadOr(WorkFile("dovRelsvc.record.txt")), kCompanionRecord);
    std::string record = ReadOr(WorkFile("KelvoSetup.record.txt"));
    EXPECT_EQ(record.rfind("companion_running=0\r\n", 0), 0u)
        << "the installer starts after the companion has ended\n"
        << record;
    EXPECT_NE(record.find("exit=0"), std::string::npos) << "the launcher waited for the end";
    EXPECT_EQ(ReadOr("C:\\Program Files\\Kelvo\\KelvoClient.ini"), "[Client]\r\nServer=test\r\n");
    std::string value;
    EXPECT_TRUE(ReadMachineString(CLIENT_UNINSTALL_KEY, CLIENT_DISPLAY_NAME_VALUE, &value));
    EXPECT_EQ(value, "Kelvo Client");
    EXPECT_TRUE(ReadMachineString(CLIENT_UNINSTALL_KEY, "DisplayVersion", &value));

    EXPECT_TRUE(LogHasInOrder({"The C free space is \\d+M\\.", "is-stp started at \\d+",
                               "is-stp ended at [2-9]\\.", "Exit main", InstallerEndedLine(0)}));
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("install failed"), std::string::npos);
}

// The installer's own code is the setup's: a restart it asks for, a failure
// it reports, and the exception that ended a crashed one.
TEST_F(InstallTest, SetupExitsWithTheInstallersOwnCode)
{
    AddDemoPrograms();
    for (const char* pszOptions : {"ExitCode=3010", "ExitCode=1603\r\nSetFlag=0", "Crash=1"}) {
        SCOPED_TRACE(pszOptions);
        RemoveLogDir();
        Add("KelvoSetup.ini", std::string("[Demo]\r\nRunMs=300\r\n") + pszOptions + "\r\n");
        DWORD dwCode = pszOptions[0] == 'C' ? EXCEPTION_ACCESS_VIOLATION
                                            : (DWORD)atoi(strchr(pszOptions, '=') + 1);
        EXPECT_EQ(RunSetup(BuildSetup()), dwCode);
        EXPECT_TRUE(LogHasInOrder({"is-stp started at \\d+", "is-stp ended at \\d+\\.", "Exit main",
                                   InstallerEndedLine(dwCode)}));
    }
    EXPECT_NE(ReadOr(WorkFile("KelvoSetup.record.txt")).find("crash=1"), std::string::npos);
}

TEST_F(InstallTest, MissingCompanionOrInstallerStopsWithItsNumber)
{
    Add("KelvoSetup.exe");
    EXPECT_EQ(RunSetup(BuildSetup()), 355u);
    EXPECT_TRUE(
        LogHasInOrder({"install failed with Err 355\\.", "Exit main", InstallFailedLine(355)}));
    EXPECT_EQ(ReadOr(WorkFile("KelvoSetup.record.txt")), "<missing>") << "nothing was started";
    std::string value;
    EXPECT_FALSE(ReadMachineString(CLIENT_UNINSTALL_KEY, CLIENT_DISPLAY_NAME_VALUE, &value));

    RemoveLogDir();
    DeleteFileA(In("src\\KelvoSetup.exe").c_str());
    Add("dovRelsvc.exe");
    EXPECT_EQ(RunSetup(BuildSetup()), 356u);
    EXPECT_TRUE(LogHasInOrder({"install failed with Err 356\\.", "Exit main"}));
    EXPECT_EQ(ReadOr(WorkFile("dovRelsvc.record.txt")), "<missing>")
        << "the companion does not run for an install that cannot happen";
}

// An extraction that fails (here a setup of the time before the seal, cut
// short inside its last record) frees what it extracted before it ends the
// run: nothing of the package waits on disk for the next run, and the log
// says how much went.
TEST_F(InstallTest, FailedExtractionRemovesWhatItExtracted)
{
    Add("a.bin", std::string(100000, 'a'));
    Add("b.bin", std::string(50000, 'b'));
    std::string setup;
    ASSERT_TRUE(
        ReadWholeFile(::BuildSetup(In("src"), "setup.exe", In("setup.exe"), false), &setup));
    setup.replace(PKG_SEAL_AT, PKG_SEAL_SIZE, PKG_SEAL_SIZE, '\0');
    setup.resize(setup.size() - 10);
    ASSERT_TRUE(WriteWholeFile(In("cut.exe"), setup));
    EXPECT_EQ(RunSetup(In("cut.exe"), HiddenDesktop()), 163u);
    EXPECT_TRUE(LogHasInOrder({"the files of the failed extraction are removed: 100000 bytes "
                               "freed\\.",
                               "install failed with Err 163\\.", "Exit main"}));
    EXPECT_EQ(Names(WorkFile("*")), std::vector<std::string>{});
}

// The shell refuses a file that is no program and a program built for
// another processor: the sequence stops with 357 for the companion and 358
// for the installer, logs the shell's code, and waits for nothing.
TEST_F(InstallTest, ProgramsTheShellCannotStartStopWithTheirNumbers)
{
    AddDemoPrograms();
    Add("dovRelsvc.exe", "this is not a program\r\n");
    EXPECT_EQ(RunSetup(BuildSetup()), 357u);
    EXPECT_TRUE(LogHasInOrder({"StartExtracted: dovRelsvc\\.exe cannot be started, err \\d+\\.",
                               "install failed with Err 357\\.", "Exit main"}));
    EXPECT_EQ(ReadOr(WorkFile("KelvoSetup.record.txt")), "<missing>") << "nothing more started";

    RemoveLogDir();
    Add("dovRelsvc.exe");
    ASSERT_TRUE(AddForeignProgram(In("src"), "KelvoSetup.exe"));
    EXPECT_EQ(RunSetup(BuildSetup()), 358u);
    EXPECT_TRUE(LogHasInOrder({"StartExtracted: KelvoSetup\\.exe cannot be started, err \\d+\\.",
                               "install failed with Err 358\\.", "Exit main"}));
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("is-stp started"), std::string::npos);
}

// A file named c:\KelvoLog is set aside and kept; the logs go into a new
// folder and the install goes on.
TEST_F(InstallTest, FileInPlaceOfTheLogFolderIsKeptAsideAndTheInstallLogs)
{
    AddDemoPrograms();
    std::string setup = BuildSetup();
    RemoveLogDir(); // setuptool logs too
    ASSERT_TRUE(WriteWholeFile("C:\\KelvoLog", "not a folder"));
    EXPECT_EQ(RunSetup(setup), 0u);
    std::vector<std::string> kept = Names("C:\\KelvoLog.untrusted.*");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadOr("C:\\" + kept[0]), "not a folder");
    EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main"}));
    EXPECT_NE(ReadOr(WorkFile("KelvoSetup.record.txt")).find("exit=0"), std::string::npos);
    EXPECT_EQ(ReadOr("C:\\Program Files\\Kelvo\\KelvoClient.ini"), "[Client]\r\nServer=test\r\n");
}

TEST_F(InstallTest, OwnFileMustCarryMoreThanTheImage)
{
    std::string launcher;
    ASSERT_TRUE(ReadWholeFile(BinPath("setup.exe"), &launcher));
    launcher.resize(307200, '\0');
    std::string exact = In("exact.exe"), plus = In("plus.exe");
    ASSERT_TRUE(WriteWholeFile(exact, launcher));
    ASSERT_TRUE(WriteWholeFile(plus, launcher + "x"));

    EXPECT_EQ(RunSetup(exact), 352u);
    EXPECT_TRUE(LogHasInOrder(
        {"The C free space is \\d+M\\.", "install failed with Err 352\\.", "Exit main"}));
    RemoveLogDir();
    EXPECT_EQ(RunSetup(plus), 159u);
    EXPECT_TRUE(LogHasInOrder({"install failed with Err 159\\.", "Exit main"}))
        << "past the size test, the unpacker finds no header in one byte";
}

// Every run extracts into a directory made new for it. The one an earlier
// run left is set aside and removed with all it holds, so however many runs
// there are, one payload stays under C:\tmp.
TEST_F(InstallTest, EveryRunExtractsIntoANewDirectoryAndOneCopyStays)
{
    AddDemoPrograms();
    std::string setup = BuildSetup();
    ASSERT_EQ(RunSetup(setup), 0u);
    ASSERT_TRUE(WriteWholeFile(WorkFile("stale.txt"), "from an earlier run"));
    CreateDirectoryA(WorkFile("ZQM").c_str(), NULL);
    ASSERT_TRUE(WriteWholeFile(WorkFile("ZQM\\old.dat"), "old"));

    // Each run released the single-instance event: the next one starts.
    for (int nRun = 2; nRun <= 3; ++nRun) {
        RemoveLogDir();
        EXPECT_EQ(RunSetup(setup), 0u);
        EXPECT_TRUE(LogHasInOrder({kSetAsideLine, "is-stp ended at \\d+\\.", "Exit main"}));
    }
    EXPECT_EQ(Names("C:\\tmp\\KelvoSetup0*"), std::vector<std::string>{"KelvoSetup0"});
    EXPECT_EQ(Names(WorkFile("*")), kInstalledNames);
}

// A file in place of the work directory, which any user may put there, is
// renamed aside and kept until the next run, which removes it with every
// file or folder named like what earlier runs set aside: none of them piles
// up.
TEST_F(InstallTest, FileInPlaceOfTheWorkDirectoryIsSetAsideUntilTheNextRun)
{
    AddDemoPrograms();
    std::string setup = BuildSetup();
    ASSERT_TRUE(WriteWholeFile(kWorkDir, "a user's file"));
    EXPECT_EQ(RunSetup(setup), 0u);
    EXPECT_TRUE(LogHasInOrder({kSetAsideLine, "is-stp ended at \\d+\\.", "Exit main"}));
    std::vector<std::string> kept = Names("C:\\tmp\\KelvoSetup0.old.*");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(ReadOr("C:\\tmp\\" + kept[0]), "a user's file");
    EXPECT_EQ(Names(WorkFile("*")), kInstalledNames);

    ASSERT_TRUE(WriteWholeFile(std::string(kWorkDir) + ".untrusted.7", "named like an aside"));
    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup), 0u);
    EXPECT_EQ(Names("C:\\tmp\\KelvoSetup0*"), std::vector<std::string>{"KelvoSetup0"});
}

// The extracted programs run in the work directory, never in the folder the
// launcher was started from, and are started by their full path: a DLL an
// installer asks for by a bare name (the demo's optional plug-in) is not
// taken from the caller's folder, and a relative path resolves in the work
// directory, which only administrators may write.
TEST_F(InstallTest, ProgramsRunInTheWorkDirectoryNotTheCallersFolder)
{
    AddDemoPrograms();
    std::string setup = BuildSetup();
    std::string caller = In("caller");
    ASSERT_TRUE(CreateDirectoryA(caller.c_str(), NULL));
    ASSERT_TRUE(PlantDlls(caller));
    ASSERT_TRUE(CopyFileA(BinPath("kelvo_planted.dll").c_str(),
                          (caller + "\\kelvo_optional.dll").c_str(), FALSE));
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgramIn(setup, "", caller.c_str(), 0, &pi));
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, 120000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(ReadOr(WorkFile("dovRelsvc.record.txt")), kCompanionRecord);
    std::string record = ReadOr(WorkFile("KelvoSetup.record.txt"));
    EXPECT_NE(record.find("\r\ncwd=C:\\tmp\\KelvoSetup0\r\noptional_dll=none\r\n"),
              std::string::npos)
        << record;
    EXPECT_EQ(PlantedDllLoads(), "");
}

// Started suspended, the genuine setup is renamed and another setup put at
// its name before the launcher's first step: on Windows a user who may
// rename the file (in their own download folder, while an administrator
// elevates it) can hold the launcher at its open with an opportunistic lock
// and do the same. The launcher finds that the file at its path is not the
// one it runs from: it extracts nothing, names both in the log and ends
// with 1620, a package not to be retried. (Where the running image lies
// now, Windows names by its new name; Wine by the path it was mapped from.)
TEST_F(InstallTest, SetupSwappedAsItStartsIsRefusedAndNothingIsExtracted)
{
    AddDemoPrograms();
    std::string genuine = BuildSetup();
    ASSERT_TRUE(CreateDirectoryA(In("other").c_str(), NULL));
    ASSERT_TRUE(::AddDemoPrograms(In("other")));
    ASSERT_TRUE(AddFile(In("other"), "other.txt", "from the other setup"));
    std::string other = ::BuildSetup(In("other"), "setup.exe", In("other.exe"));
    ASSERT_FALSE(other.empty());
    RemoveLogDir();

    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgramIn(genuine, "", NULL, CREATE_SUSPENDED, &pi, HiddenDesktop()));
    bool bSwapped = MoveFileA(genuine.c_str(), In("setup.renamed.exe").c_str()) &&
                    CopyFileA(other.c_str(), genuine.c_str(), TRUE);
    ResumeThread(pi.hThread);
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, 60000, &dwExit));
    ASSERT_TRUE(bSwapped);
    EXPECT_EQ(dwExit, 1620u);
    EXPECT_FALSE(Exists(kWorkDir)) << "nothing is extracted, from either file";
    EXPECT_TRUE(LogHasInOrder(
        {"HoldOwnImage: " + Literally(genuine) +
             " is not the file this launcher runs from, which is now .+; nothing is extracted "
             "from it\\.",
         "start refused: another file was put at the launcher's path as it started\\.",
         "no interactive desktop, so this is not shown: This setup file is damaged\\. Please "
         "download it again\\.",
         "exit code 1620: another file was put at the launcher's path as it started\\."}));
}

// A folder somebody made in place of the work directory, with a DLL in it
// held open without delete sharing so that it cannot be deleted: it never
// becomes the installer's directory. Wine renames a folder in which a file is
// open, so there it is set aside, the package goes into a new directory, and
// the folder, which cannot be removed while the file is held, goes at the
// next run. Windows refuses to rename such a folder: the run stops with 351
// and nothing is started.
TEST_F(InstallTest, PlantedFolderWithAFileHeldOpenNeverHoldsTheInstaller)
{
    AddDemoPrograms();
    std::string setup = BuildSetup();
    ASSERT_TRUE(CreateDirectoryA(kWorkDir, NULL));
    ASSERT_TRUE(
        CopyFileA(BinPath("kelvo_planted.dll").c_str(), WorkFile("version.dll").c_str(), FALSE));
    HANDLE hHeld = CreateFileA(WorkFile("version.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    DWORD dwExit = RunSetup(setup);
    CloseHandle(hHeld);
    EXPECT_EQ(dwExit, RunningOnWine() ? 0u : 351u);
    if (!RunningOnWine()) {
        EXPECT_TRUE(LogHasInOrder({"PrepareWorkDir: C:\\\\tmp\\\\KelvoSetup0 cannot be set aside, "
                                   "err \\d+\\.",
                                   "install failed with Err 351\\.", "Exit main"}));
        EXPECT_EQ(ReadOr(WorkFile("KelvoSetup.record.txt")), "<missing>");
        return;
    }
    EXPECT_TRUE(LogHasInOrder({kSetAsideLine, "is-stp ended at \\d+\\.", "Exit main"}));
    EXPECT_EQ(Names(WorkFile("*")), kInstalledNames);
    EXPECT_EQ(Names("C:\\tmp\\KelvoSetup0.old.*").size(), 1u) << "held, so it stays aside";
    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup), 0u);
    EXPECT_EQ(Names("C:\\tmp\\KelvoSetup0*"), std::vector<std::string>{"KelvoSetup0"});
}

// The launcher reads its package from the file that runs, whatever path the
// ANSI calls report for it. Here that path holds '?' for a character the
// code page lacks, a wildcard to the ANSI file search, so no file answers to
// it; and the launcher is started from a folder holding another setup of
// the same name: a standard user's way to have their package installed by
// an administrator who approves the genuine setup. (A path longer than
// MAX_PATH, which the ANSI calls cut, does the same on Windows; Wine 8 starts
// no program from so deep a path.)
TEST_F(InstallTest, OwnPackageComesFromTheRunningFileNeverFromTheCurrentDirectory)
{
    AddDemoPrograms();
    std::string genuine = BuildSetup();
    ASSERT_TRUE(CreateDirectoryA(In("planted").c_str(), NULL));
    ASSERT_TRUE(::AddDemoPrograms(In("planted")));
    ASSERT_TRUE(AddFile(In("planted"), "planted.txt", "from the current directory"));
    std::string cwd = In("cwd");
    ASSERT_TRUE(CreateDirectoryA(cwd.c_str(), NULL));
    ASSERT_FALSE(::BuildSetup(In("planted"), "setup.exe", cwd + "\\setup.exe").empty());

    std::wstring folderW = std::wstring(dir.begin(), dir.end()) + L"\\kelvo-\x4E2D";
    BOOL bLost = FALSE;
    char szAnsi[MAX_PATH];
    WideCharToMultiByte(CP_ACP, 0, folderW.c_str(), -1, szAnsi, sizeof szAnsi, NULL, &bLost);
    ASSERT_TRUE(bLost) << "the system code page must lack the folder's last character";
    ASSERT_TRUE(CreateDirectoryW(folderW.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS)
        << "the test support's ANSI removal cannot remove it";
    std::wstring exeW = folderW + L"\\setup.exe";
    ASSERT_TRUE(
        CopyFileW(std::wstring(genuine.begin(), genuine.end()).c_str(), exeW.c_str(), FALSE));

    RemoveLogDir();
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::wstring cmd = L"\"" + exeW + L"\"";
    std::wstring cwdW(cwd.begin(), cwd.end());
    ASSERT_TRUE(
        CreateProcessW(exeW.c_str(), &cmd[0], NULL, NULL, FALSE, 0, NULL, cwdW.c_str(), &si, &pi))
        << GetLastError();
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, 120000, &dwExit));
    EXPECT_EQ(dwExit, 0u);
    EXPECT_EQ(ReadOr(WorkFile("planted.txt")), "<missing>");
    EXPECT_EQ(Names(WorkFile("*")), kInstalledNames);
    EXPECT_TRUE(LogHasInOrder(
        {Literally(std::string(szAnsi) + "\\setup.exe"), "is-stp ended at \\d+\\.", "Exit main"}))
        << "the path the launcher reports for itself is still logged";
}

// The work directory's descriptor as SDDL: protected, SYSTEM and
// Administrators in full, Users read and execute. Wine maps the descriptor to
// Unix permissions: it shows its own user for Administrators, cannot show the
// protection flag, and drops the entry for Users (it maps only Everyone).
TEST_F(InstallTest, WorkDirectoryIsProtected)
{
    AddDemoPrograms();
    ASSERT_EQ(RunSetup(BuildSetup()), 0u);
    std::string sddl = DaclSddl(kWorkDir);
    if (RunningOnWine())
        EXPECT_TRUE(std::regex_match(sddl, std::regex("D:\\(A;OICI;FA;;;SY\\)\\(A;OICI;FA;;;S-1-5-"
                                                      "21-[-0-9]+\\)")))
            << sddl;
    else
        EXPECT_EQ(sddl, "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
}

// A link in place of the work directory is removed as a link, never
// followed: the package lands in a fresh directory and the link's target
// stays as it was. Run by work-link-test, which puts a Unix symbolic link to
// C:\tmp\kelvo-worklink-target at C:\tmp\KelvoSetup0 first (Wine cannot make
// a junction, and reports such a link as a reparse point). Wine 8 cannot
// remove such a link (and its renames move the link's target), so there the
// launcher refuses with 351 instead of extracting; on Windows the junction
// goes and the install runs.
TEST_F(InstallLink, LinkInPlaceOfTheWorkDirectoryIsNeverFollowed)
{
    ASSERT_TRUE(GetFileAttributesA(kWorkDir) & FILE_ATTRIBUTE_REPARSE_POINT)
        << "run through ctest (work-link-test), which puts the link in place";
    AddDemoPrograms();

    EXPECT_EQ(RunSetup(BuildSetup()), RunningOnWine() ? 351u : 0u);
    const std::string target = "C:\\tmp\\kelvo-worklink-target";
    EXPECT_EQ(ReadOr(target + "\\precious.txt"), "precious\n");
    EXPECT_EQ(ReadOr(target + "\\KelvoSetup.exe"), "<missing>");
    if (RunningOnWine()) {
        EXPECT_TRUE(LogHasInOrder({"PrepareWorkDir: C:\\\\tmp\\\\KelvoSetup0 cannot be set aside, "
                                   "err \\d+\\.",
                                   "install failed with Err 351\\.", "Exit main"}));
    } else {
        DWORD dwAttr = GetFileAttributesA(kWorkDir);
        EXPECT_TRUE(dwAttr != INVALID_FILE_ATTRIBUTES && !(dwAttr & FILE_ATTRIBUTE_REPARSE_POINT));
        EXPECT_NE(ReadOr(WorkFile("KelvoSetup.exe")), "<missing>");
        EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main"}));
    }
}

// A link at c:\KelvoLog, which any user may make before the first run, is
// never written through: nothing appears behind it. Run by work-link-test,
// which links c:\KelvoLog to C:\tmp\kelvo-loglink-target. Wine cannot remove
// the link, so there the lines are lost and the install goes on; Windows
// removes the junction and logs into a new folder.
TEST_F(InstallLink, LinkInPlaceOfTheLogFolderIsNeverFollowed)
{
    ASSERT_TRUE(GetFileAttributesA("c:\\KelvoLog") & FILE_ATTRIBUTE_REPARSE_POINT)
        << "run through ctest (work-link-test), which puts the link in place";
    RemoveWorkDirs();
    AddDemoPrograms();
    EXPECT_EQ(RunSetup(BuildSetup()), 0u);
    EXPECT_NE(ReadOr(WorkFile("KelvoSetup.record.txt")).find("exit=0"), std::string::npos);
    EXPECT_EQ(Names("C:\\tmp\\kelvo-loglink-target\\*"), std::vector<std::string>{});
    if (!RunningOnWine()) {
        EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main"}));
    }
}

// C:\tmp is other programs' folder too; a link there commonly moves it to
// another drive. The launcher refuses with 351 and changes nothing: no work
// directory appears behind the link. Run by work-link-test, which moves the
// real C:\tmp to C:\tmp-real and puts a link to it in its place.
TEST_F(InstallLink, TmpThatIsALinkIsRefusedAndLeftAlone)
{
    ASSERT_TRUE(GetFileAttributesA("C:\\tmp") & FILE_ATTRIBUTE_REPARSE_POINT)
        << "run through ctest (work-link-test), which puts the link in place";
    AddDemoPrograms();

    EXPECT_EQ(RunSetup(BuildSetup()), 351u);
    EXPECT_TRUE(LogHasInOrder({"PrepareWorkDir: C:\\\\tmp is a link or cannot be held; nothing is "
                               "changed\\.",
                               "install failed with Err 351\\.", "Exit main"}));
    EXPECT_EQ(GetFileAttributesA("C:\\tmp-real\\KelvoSetup0"), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(GetFileAttributesA("C:\\tmp") & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A launcher killed halfway through extracting leaves part of the package
// behind; the next run installs normally, and the work directory then holds
// exactly the package's files and what the demo programs recorded.
TEST_F(InstallTest, RunAfterAKilledExtractionInstallsFromThePackageAlone)
{
    AddDemoPrograms();
    Add("big.bin", std::string(64 << 20, 'k'));
    std::string setup = BuildSetup();
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(setup, "", &pi));
    for (int i = 0;
         i < 2000 && GetFileAttributesA(WorkFile("big.bin").c_str()) == INVALID_FILE_ATTRIBUTES;
         ++i)
        Sleep(5);
    TerminateProcess(pi.hProcess, 1);
    DWORD dwExit = 0;
    ASSERT_TRUE(WaitProgram(&pi, 20000, &dwExit));
    ASSERT_LT(ReadOr(WorkFile("big.bin"), "").size(), (size_t)64 << 20) << "killed too late";

    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup), 0u);
    EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main"}));
    std::vector<std::string> expected = kInstalledNames;
    expected.push_back("big.bin");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(WorkFile("*")), expected);
    EXPECT_EQ(ReadOr(WorkFile("big.bin"), "").size(), (size_t)64 << 20);
}

// Run by disk-full-test, which puts drive C: on a file system of its own
// with some 256 MiB free, outside which the setup is built. Less than 50 MB
// free refuses the start (112); a disk that fills while extracting stops the
// run with 157, before anything is started; with space freed, the next run
// installs.
class InstallDiskFull : public InstallTest
{
  protected:
    void SetUp() override
    {
        if (!LaidOutBy("disk-full-test"))
            GTEST_SKIP() << "run by disk-full-test, which puts drive C: on a small file system";
        InstallTest::SetUp();
        dir = BinDir() + "\\..\\disk-full-setup";
        utl_RemoveDirTree(dir.c_str());
        CreateDirectoryA(dir.c_str(), NULL);
        CreateDirectoryA(In("src").c_str(), NULL);
    }
};

// Fills drive C: with a file until dwLeftMiB are free.
void LeaveFree(const char* pszFiller, DWORD dwLeftMiB)
{
    DeleteFileA(pszFiller);
    ULARGE_INTEGER free;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &free, NULL, NULL));
    ASSERT_GT(free.QuadPart, (ULONGLONG)dwLeftMiB << 20);
    ASSERT_TRUE(WriteWholeFile(
        pszFiller, std::string((size_t)free.QuadPart - ((size_t)dwLeftMiB << 20), 'f')));
}

TEST_F(InstallDiskFull, LowOrFullDiskStopsWith112Or157AndTheNextRunInstalls)
{
    ULARGE_INTEGER free, total;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &free, &total, NULL));
    ASSERT_LT(free.QuadPart, 1ull << 30) << "run through ctest (disk-full-test)";
    AddDemoPrograms();
    Add("KelvoSetup.ini", "[Demo]\r\nRunMs=300\r\nCopyFiles=0\r\n");
    Add("big.bin", std::string(60 << 20, 'k'));
    std::string setup = BuildSetup();

    // 40 MiB left: the start is refused before anything is extracted. Run
    // where nobody sees a box, it logs the box's text and ends at once.
    const char kFiller[] = "C:\\filler.bin";
    LeaveFree(kFiller, 40);
    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup, HiddenDesktop()), 112u);
    EXPECT_TRUE(LogLinesAre(RunLines(
        "setup", {"The C free space is \\d+M\\.", "start refused: less than 50 MB is free on C:\\.",
                  "no interactive desktop, so this is not shown: The disk C must have at "
                  "least 50M free space to finish the setup\\.",
                  "exit code 112: less than 50 MB is free on C:\\."})));

    // 55 MiB left: the start check (50 MB) passes, the extraction cannot.
    LeaveFree(kFiller, 55);
    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup), 157u);
    EXPECT_TRUE(LogHasInOrder({"install failed with Err 157\\.", "Exit main"}));
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("is-stp started"), std::string::npos);
    EXPECT_NE(ReadOr(TodayModuleLogPath("UtlFile"))
                  .find("utl_FileUnpack: WriteFile failed with err. 112\r\n"),
              std::string::npos)
        << "ERROR_DISK_FULL";
    EXPECT_TRUE(LogHasInOrder({"the files of the failed extraction are removed: [1-9]\\d+ bytes "
                               "freed\\.",
                               "install failed with Err 157\\."}));
    EXPECT_EQ(Names(WorkFile("*")), std::vector<std::string>{}) << "C: is free again";
    // setuptool log names the file that did not fit and the system's error.
    ToolRun log = Tool("log c:\\KelvoLog");
    EXPECT_EQ(log.dwExit, 1u);
    EXPECT_TRUE(OutputHasInOrder(
        log.out,
        {"  failed with 157: writing failed", "  exit code: 157",
         "  stp_UtlFile, its last 3 of \\d+ lines:",
         "    \\[.*\\] utl_FileUnpack: szDstAbsFile = C:\\\\tmp\\\\KelvoSetup0\\\\big\\.bin",
         "    \\[.*\\] utl_FileUnpack: WriteFile failed with err\\. 112",
         "    \\[.*\\] utl_FileUnpack:Err: 157\\."}));

    DeleteFileA(kFiller);
    RemoveLogDir();
    EXPECT_EQ(RunSetup(setup), 0u);
    EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main", InstallerEndedLine(0)}));
    EXPECT_EQ(ReadOr(WorkFile("big.bin"), "").size(), (size_t)60 << 20);
    utl_RemoveDirTree(dir.c_str());
}

// While the companion runs the launcher holds the work directory; nobody can
// rename it away and put another in its place before the installer starts.
TEST_F(InstallTest, WorkDirectoryCannotBeRenamedWhileTheLauncherHoldsIt)
{
    AddDemoPrograms(300, 3000);
    std::string setup = BuildSetup();
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(setup, "", &pi));
    for (int i = 0; i < 200 && ReadOr(WorkFile("dovRelsvc.record.txt")) == "<missing>"; ++i)
        Sleep(50);
    const std::string moved = std::string(kWorkDir) + ".moved";
    BOOL bMoved = MoveFileA(kWorkDir, moved.c_str());
    DWORD dwMoveErr = GetLastError();
    DWORD dwExit = 99;
    EXPECT_TRUE(WaitProgram(&pi, 60000, &dwExit));
    EXPECT_FALSE(bMoved);
    EXPECT_EQ(dwMoveErr, (DWORD)ERROR_SHARING_VIOLATION);
    if (bMoved)
        MoveFileA(moved.c_str(), kWorkDir);
    EXPECT_TRUE(LogHasInOrder({"is-stp ended at \\d+\\.", "Exit main"}));

    // Once the installer has started the launcher lets go.
    ASSERT_TRUE(MoveFileA(kWorkDir, moved.c_str()));
    ASSERT_TRUE(MoveFileA(moved.c_str(), kWorkDir));
}

} // namespace
