// setuptool log over the logs the real launchers wrote: runs that install,
// are refused and fail, read where they were written, as a folder mailed in,
// and with a log file another program holds. Cut, binary and huge files and
// the grouping of crafted logs are held by host-tool-test and the agreement
// test, on both tools.
#include "hidden_desktop.h"
#include "log_lines.h"
#include "setup_builder.h"
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <vector>

namespace
{

const char kTime[] = "\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d";

// "run N: <start>[ to <end>], <launcher>, thread <id>"
std::string RunHeader(int nRun, const char* pszLauncher)
{
    return "run " + std::to_string(nRun) + ": " + kTime + "( to [-0-9: ]+)?, " + pszLauncher +
           ", thread [0-9a-f]+";
}

// The names of the log folders in dir: c:\KelvoLog and the folders set
// aside beside it.
std::vector<std::string> LogFolderNames(const std::string& dir)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + "\\KelvoLog*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            names.push_back(fd.cFileName);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

// The log folders of dir on a command line. Under Wine every launcher
// process sets aside the log folder that another one made (Wine shows no
// folder as owned by the administrators), so the runs of one test lie in
// several; Windows keeps writing to c:\KelvoLog.
std::string LogFolderArgs(const std::string& dir)
{
    std::string args;
    for (const std::string& name : LogFolderNames(dir))
        args += " \"" + dir + "\\" + name + "\"";
    return args;
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
    EXPECT_TRUE(OutputLinesAre(
        one.out,
        {RunHeader(1, "setup"),
         "  installed: the inner installer ended with 3010 \\(done; a restart is needed\\)",
         "  exit code: 3010", "", "1 run; the one that ended last, run 1: installed"}));
    if (LogFolderNames("c:").size() == 1) {
        EXPECT_EQ(Tool("log").out, one.out) << "c:\\KelvoLog unless told otherwise";
    }

    HANDLE hHeld = HoldInstanceEvent("BA");
    ASSERT_NE(hHeld, nullptr);
    EXPECT_EQ(RunSetup(BinPath("setup-lite.exe"), HiddenDesktop()), 1618u);
    CloseHandle(hHeld);
    ASSERT_TRUE(DeleteFileA(In("src\\dovRelsvc.exe").c_str()));
    EXPECT_EQ(RunSetup(BuildSetup(In("src"), "setup.exe", In("setup-355.exe"))), 355u);

    ToolRun three = Tool("log" + LogFolderArgs("c:"));
    EXPECT_EQ(three.dwExit, 1u) << "the run that ended last failed\n" << three.out;
    std::string refused = "another launcher is running; try again later";
    EXPECT_TRUE(OutputHasInOrder(
        three.out,
        {RunHeader(1, "setup"), "  exit code: 3010", "", RunHeader(2, "setup-lite"),
         "  refused: " + refused, "  exit code: 1618", "  setup log:",
         std::string("    \\[") + kTime +
             "\\] no interactive desktop, so this is not shown: A previous instance is still "
             "running\\.  Please try it later\\.",
         "", RunHeader(3, "setup"),
         "  failed with 355: the package has no companion dovRelsvc\\.exe .*",
         "  what to do: A release fault: pack the missing program .*", "  exit code: 355",
         "  setup log:", std::string("    \\[") + kTime + "\\] The C free space is \\d+M\\.",
         "  stp_UtlFile, its last 3 of \\d+ lines:",
         std::string("    \\[") + kTime + "\\] utl_FileUnpack: The file is end\\.", "",
         "3 runs; the one that ended last, run 3: failed with 355"}));
    EXPECT_EQ(three.out.find("installed: the inner installer ended with 3010 (done; a restart "
                             "is needed)\n  exit code: 3010\n  setup log"),
              std::string::npos)
        << "a run that installed shows no lines";

    // Mailed in: the same folders copied elsewhere read the same. One alone
    // reads its own runs and names the folders beside it that it did not.
    std::string mail = In("mail");
    ASSERT_TRUE(CreateDirectoryA(mail.c_str(), NULL));
    std::vector<std::string> names = LogFolderNames("c:");
    for (const std::string& name : names) {
        ASSERT_TRUE(CreateDirectoryA((mail + "\\" + name).c_str(), NULL));
        WIN32_FIND_DATAA fd;
        HANDLE hFind = FindFirstFileA(("c:\\" + name + "\\*.log").c_str(), &fd);
        ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
        do {
            ASSERT_TRUE(CopyFileA(("c:\\" + name + "\\" + fd.cFileName).c_str(),
                                  (mail + "\\" + name + "\\" + fd.cFileName).c_str(), TRUE));
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    ToolRun mailed = Tool("log" + LogFolderArgs(mail));
    EXPECT_EQ(mailed.dwExit, 1u);
    EXPECT_EQ(mailed.out, three.out);
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
    EXPECT_NE(run.out.find("note: stp_UtlCommon2001010101.log in c:\\KelvoLog cannot be read\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("  installed: the inner installer ended with 0 (done)"),
              std::string::npos);
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
