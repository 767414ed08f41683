// setuptool log over the logs the real launchers wrote: runs that install,
// are refused, fail, crash and are killed, read where they were written, as
// a folder mailed in with copies of its logs, and with a log file another
// program holds. Cut, binary and huge files and the grouping of crafted logs
// are held by host-tool-test and the agreement test, on both tools.
#include "hidden_desktop.h"
#include "log_lines.h"
#include "setup_builder.h"
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

const char kTime[] = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d";

// "run N: <start>[ to <end>], <launcher>, thread <id>"
std::string BlockHeader(int nRun, const char* pszLauncher)
{
    return "run " + std::to_string(nRun) + ": " + kTime + "( to [-0-9: ]+)?, " + pszLauncher +
           ", thread [0-9a-f]+";
}

// The log folders of dir (c:\KelvoLog and the folders set aside beside it)
// on a command line. Under Wine every launcher process sets aside the log
// folder that another one made (Wine shows no folder as owned by the
// administrators), so the runs of one test lie in several; Windows keeps
// writing to c:\KelvoLog.
std::string LogFolderArgs(const std::string& dir)
{
    std::string args;
    for (const std::string& name : Names(dir + "\\KelvoLog*"))
        args += " \"" + dir + "\\" + name + "\"";
    return args;
}

// The blocks of the runs and the last line, without the lines that name the
// files read (which name their folders).
std::string Runs(const std::string& out)
{
    std::string runs;
    size_t iLine = 0;
    for (size_t iEnd; (iEnd = out.find('\n', iLine)) != std::string::npos; iLine = iEnd + 1) {
        std::string line = out.substr(iLine, iEnd + 1 - iLine);
        if (line.compare(0, 6, "read: ") != 0 && line.compare(0, 6, "note: ") != 0)
            runs += line;
    }
    return runs;
}

// Copies every log of the folder src into dst, and with bTwice a second
// copy of each under the name a mail client gives it ("setup... (1).log").
void CopyLogs(const std::string& src, const std::string& dst, bool bTwice)
{
    ASSERT_TRUE(CreateDirectoryA(dst.c_str(), NULL));
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((src + "\\*.log").c_str(), &fd);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    do {
        std::string name = fd.cFileName;
        ASSERT_TRUE(CopyFileA((src + "\\" + name).c_str(), (dst + "\\" + name).c_str(), TRUE));
        std::string copy = name.substr(0, name.size() - 4) + " (1).log";
        if (bTwice) {
            ASSERT_TRUE(CopyFileA((src + "\\" + name).c_str(), (dst + "\\" + copy).c_str(), TRUE));
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

class LogTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
        RemoveWorkDirs();
        ResetInstalledClient();
        CreateDirectoryA(In("src").c_str(), NULL);
    }
};

TEST_F(LogTest, EachRunOfTheLaunchersIsOneBlockWithItsEnding)
{
    ASSERT_TRUE(AddDemoPrograms(In("src")));
    ASSERT_TRUE(AddFile(In("src"), "KelvoSetup.ini", "[Demo]\r\nRunMs=300\r\nExitCode=3010\r\n"));
    EXPECT_EQ(RunSetup(BuildSetup(In("src"), "setup.exe", In("setup.exe"))), 3010u);
    ToolRun one = Tool("log" + LogFolderArgs("c:"));
    EXPECT_EQ(one.dwExit, 0u) << one.out;
    EXPECT_TRUE(OutputHasInOrder(
        one.out,
        {BlockHeader(1, "setup"),
         "  installed: the inner installer ended with 3010 \\(done; a restart is needed\\)",
         "  exit code: 3010", "", "read: setup\\d{10}\\.log, .* in c:\\\\KelvoLog.*",
         "1 run; the one that ended last, run 1: installed"}));
    if (Names("c:\\KelvoLog*").size() == 1) {
        EXPECT_EQ(Tool("log").out, one.out) << "c:\\KelvoLog unless told otherwise";
    }

    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    EXPECT_EQ(RunSetup(BinPath("setup-lite.exe"), HiddenDesktop()), 1618u);
    CloseHandle(hHeld);
    ASSERT_TRUE(AddFile(In("src"), "KelvoSetup.ini", "[Demo]\r\nRunMs=300\r\nCrash=1\r\n"));
    EXPECT_EQ(RunSetup(BuildSetup(In("src"), "setup.exe", In("setup-crash.exe"))),
              (DWORD)EXCEPTION_ACCESS_VIOLATION);
    ASSERT_TRUE(DeleteFileA(In("src\\dovRelsvc.exe").c_str()));
    EXPECT_EQ(RunSetup(BuildSetup(In("src"), "setup.exe", In("setup-355.exe"))), 355u);

    ToolRun three = Tool("log" + LogFolderArgs("c:"));
    EXPECT_EQ(three.dwExit, 1u) << "the run that ended last failed\n" << three.out;
    std::string refused = "another launcher is running; try again later";
    EXPECT_TRUE(OutputHasInOrder(
        three.out,
        {BlockHeader(1, "setup"),
         "  exit code: 3010",
         "",
         BlockHeader(2, "setup-lite"),
         "  refused: " + refused,
         "  exit code: 1618",
         "  setup log:",
         std::string("    \\[") + kTime +
             "\\] no interactive desktop, so this is not shown: A previous instance is still "
             "running\\.  Please try it later\\.",
         "",
         BlockHeader(3, "setup"),
         "  failed: the inner installer ended with 3221225477 \\(0xC0000005, "
         "STATUS_ACCESS_VIOLATION: .*\\)",
         "  what to do: The inner installer crashed\\. .*",
         "  exit code: 3221225477",
         "",
         BlockHeader(4, "setup"),
         "  failed with 355: the package has no companion dovRelsvc\\.exe .*",
         "  what to do: A release fault: pack the missing program .*",
         "  exit code: 355",
         "  stp_UtlFile, its last 3 of \\d+ lines:",
         std::string("    \\[") + kTime + "\\] utl_FileUnpack: The file is end\\.",
         "",
         "4 runs; the one that ended last, run 4: failed with 355"}));
    EXPECT_EQ(three.out.find("installed: the inner installer ended with 3010 (done; a restart "
                             "is needed)\n  exit code: 3010\n  setup log"),
              std::string::npos)
        << "a run that installed shows no lines";
    // The password gate's lines of a PC without the client, which every run
    // writes, explain none of the failures; nor does any other line of the
    // steps before the package was found lacking (a line the reader does
    // not know would show).
    EXPECT_EQ(three.out.find("IsUninstallPrompt"), std::string::npos) << three.out;
    std::string last = three.out.substr(three.out.rfind("\nrun 4: "));
    EXPECT_EQ(last.find("  setup log:"), std::string::npos) << last;

    // Mailed in: the same folders copied elsewhere, each log twice over under
    // the names a mail client gives, and named twice, read the same runs.
    // One alone reads its own runs and names the folders beside it that it
    // did not.
    std::string mail = In("mail");
    ASSERT_TRUE(CreateDirectoryA(mail.c_str(), NULL));
    std::vector<std::string> names = Names("c:\\KelvoLog*");
    for (const std::string& name : names)
        CopyLogs("c:\\" + name, mail + "\\" + name, true);
    ToolRun mailed = Tool("log" + LogFolderArgs(mail) + LogFolderArgs(mail));
    EXPECT_EQ(mailed.dwExit, 1u);
    EXPECT_EQ(Runs(mailed.out), Runs(three.out));
    EXPECT_TRUE(OutputHasInOrder(mailed.out, {"read: .* \\(1\\)\\.log, .*",
                                              ".* is a copy of .*: each of its \\d+ lines "
                                              "is counted once"}));
    if (names.size() > 1) {
        ToolRun alone = Tool("log \"" + mail + "\\KelvoLog\"");
        EXPECT_NE(alone.out.find("note: beside " + mail + "\\KelvoLog the launchers set aside " +
                                 std::to_string(names.size() - 1)),
                  std::string::npos)
            << alone.out;
    }
}

// A log that another program holds without sharing (the launcher while it
// makes a day's file, a scanner) is named as unreadable; the rest is read.
TEST_F(LogTest, AFileThatCannotBeReadIsNamedAndTheRestRead)
{
    ASSERT_TRUE(AddDemoPrograms(In("src")));
    EXPECT_EQ(RunSetup(BuildSetup(In("src"), "setup.exe", In("setup.exe"))), 0u);
    std::string held = "c:\\KelvoLog\\stp_UtlCommon2001010101.log";
    ASSERT_TRUE(WriteWholeFile(held, "[2001-01-01 10:00:00] [0x4] getCurRunPath: x\r\n"));
    HANDLE hHeld = CreateFileA(held.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    ToolRun run = Tool("log c:\\KelvoLog");
    CloseHandle(hHeld);
    EXPECT_EQ(run.dwExit, 0u) << run.out;
    EXPECT_NE(run.out.find("\"" + held + "\" cannot be read: "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("skipped: stp_UtlCommon2001010101.log in c:\\KelvoLog: it cannot be "
                           "read\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  installed: the inner installer ended with 0 (done)"),
              std::string::npos);
}

// A launcher killed while its installer runs (as an agent's time-out does)
// leaves a run with no ending, whatever its lines said before: the run that
// ended last did not install.
TEST_F(LogTest, AKilledLauncherHasNoEnding)
{
    ASSERT_TRUE(AddDemoPrograms(In("src"), 3000));
    std::string setup = BuildSetup(In("src"), "setup.exe", In("setup.exe"));
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(setup, "", &pi));
    for (int i = 0; i < 600 && ReadOr(WorkFile("KelvoSetup.record.txt")) == "<missing>"; ++i)
        Sleep(50);
    TerminateProcess(pi.hProcess, 1);
    DWORD dwExit = 0;
    ASSERT_TRUE(WaitProgram(&pi, 20000, &dwExit));
    for (int i = 0;
         i < 600 && ReadOr(WorkFile("KelvoSetup.record.txt")).find("exit=") == std::string::npos;
         ++i)
        Sleep(50); // the installer goes on to its end

    ToolRun run = Tool("log" + LogFolderArgs("c:"));
    EXPECT_EQ(run.dwExit, 1u) << run.out;
    EXPECT_TRUE(OutputHasInOrder(
        run.out, {BlockHeader(1, "setup"),
                  "  no ending in the log \\(killed, still running, or the log was cut\\)",
                  "  last step in the log: .*", "",
                  "1 run; the one that ended last, run 1: no ending in the log"}));
}

TEST_F(LogTest, NoRunOrNoFolderIsExitCode2)
{
    ToolRun none = Tool("log \"" + dir + "\"");
    EXPECT_EQ(none.dwExit, 2u);
    EXPECT_NE(none.out.find("no launcher run in these logs"), std::string::npos) << none.out;
    ToolRun missing = Tool("log \"" + In("missing") + "\"");
    EXPECT_EQ(missing.dwExit, 2u);
    EXPECT_NE(missing.out.find("the folder \"" + In("missing") + "\" cannot be read"),
              std::string::npos)
        << missing.out;
}

} // namespace
