// Process checks against real stand-in processes of the watched names.
#include "proc_check.h"
#include "log.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace
{

class ProcCheckTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
    }
};

TEST_F(ProcCheckTest, NameIsComparedWithoutCase)
{
    ScopedStandIn proc(dir, "KELVOSETUP.EXE");
    ASSERT_TRUE(proc.Started());

    EXPECT_EQ(chkProcExist("waitSetup", "KelvoSetup.exe"), PROC_RUNNING);
    EXPECT_EQ(chkProcByBaseName("waitSetup", "kelvosetup.exe"), PROC_RUNNING);
    proc.Stop();
    EXPECT_EQ(chkProcExist("waitSetup", "KelvoSetup.exe"), PROC_NOT_FOUND);
    EXPECT_EQ(chkProcByBaseName("waitSetup", "KelvoSetup.exe"), PROC_NOT_FOUND);
}

TEST_F(ProcCheckTest, CutNameIsFoundOnlyByTheCutName)
{
    ScopedStandIn proc(dir, "Tramvelcordix.e");
    ASSERT_TRUE(proc.Started());

    EXPECT_EQ(chkProcExist("waitSetup", "Tramvelcordix.e"), PROC_RUNNING);
    EXPECT_EQ(chkProcExist("waitSetup", "Tramvelcordix.exe"), PROC_NOT_FOUND);
    EXPECT_EQ(chkProcExist("waitSetup", "Tramvelcordix"), PROC_NOT_FOUND);
    EXPECT_EQ(chkProcByBaseName("waitSetup", "Tramvelcordix.exe"), PROC_NOT_FOUND);
}

TEST_F(ProcCheckTest, MissingNameOrANameWithADirectoryIsNotRunning)
{
    ScopedStandIn proc(dir, "dovRelsvc.exe");
    ASSERT_TRUE(proc.Started());

    EXPECT_EQ(chkProcExist("waitCpd", "NoSuchProgram.exe"), PROC_NOT_FOUND);
    // The system reports bare file names; a caller's directory never matches.
    std::string withDir = dir + "\\dovRelsvc.exe";
    EXPECT_EQ(chkProcExist("waitCpd", withDir.c_str()), PROC_NOT_FOUND);
    EXPECT_EQ(chkProcByBaseName("waitCpd", withDir.c_str()), PROC_NOT_FOUND);
    EXPECT_EQ(chkProcExist("waitCpd", "dovRelsvc.exe"), PROC_RUNNING);
    // Only failures of the check itself are logged.
    EXPECT_EQ(GetFileAttributesA("c:\\KelvoLog"), INVALID_FILE_ATTRIBUTES);
}

TEST(AsciiEqualNoCase, FoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(utl_AsciiEqualNoCase("KelvoSetup.exe", "kELVOsETUP.EXE"));
    EXPECT_FALSE(utl_AsciiEqualNoCase("KelvoSetup.exe", "KelvoSetup.ex"));
    EXPECT_FALSE(utl_AsciiEqualNoCase("a", "a "));
    EXPECT_FALSE(utl_AsciiEqualNoCase("\xC0.exe", "\xE0.exe")); // Latin-1 letters stay apart
    EXPECT_FALSE(utl_AsciiEqualNoCase("[", "{"));
}

TEST(ProcSnapshot, PassesOverTheIdleProcessAndClosesSafelyTwice)
{
    ProcSnapshot snap(0, 0);
    EXPECT_FALSE(snap.IsValid());
    PROCESSENTRY32 pe;
    EXPECT_FALSE(snap.First(&pe));

    ASSERT_TRUE(snap.Reset(TH32CS_SNAPPROCESS, 0));
    bool bSawSelf = false;
    int nEntries = 0;
    for (bool bMore = snap.First(&pe); bMore; bMore = snap.Next(&pe)) {
        EXPECT_NE(pe.th32ProcessID, 0u);
        bSawSelf |= pe.th32ProcessID == GetCurrentProcessId();
        ++nEntries;
    }
    EXPECT_TRUE(bSawSelf);
    EXPECT_GT(nEntries, 1);
    snap.Close();
    snap.Close();
    EXPECT_FALSE(snap.IsValid());
}

TEST(ProcEnumRequest, IdleAndSystemProcessLinesAreDetailLines)
{
    RemoveLogDir();
    g_bLogDetail = 0;
    procEnumRequest("waitSetup", 0, 101, 5);
    procEnumRequest("waitSetup", 4, 101, 5);
    EXPECT_EQ(GetFileAttributesA("c:\\KelvoLog"), INVALID_FILE_ATTRIBUTES);

    procEnumRequest("waitSetup", 1234, 7, 8);
    g_bLogDetail = 1;
    procEnumRequest("waitCpd", 0, 101, 6);
    g_bLogDetail = 0;

    std::string data;
    ASSERT_TRUE(ReadWholeFile(TodayModuleLogPath("utlProc"), &data));
    EXPECT_NE(data.find("] procEnumRequest from waitSetup: Err1 = 7, Err2 = 8, ProcId = 1234\r\n"),
              std::string::npos)
        << data;
    EXPECT_NE(data.find("] [DTL] [0x"), std::string::npos);
    EXPECT_NE(data.find("procEnumRequest from waitCpd: Err1 = 101, Err2 = 6, ProcId = 0\r\n"),
              std::string::npos);
    EXPECT_EQ(data.find("ProcId = 4"), std::string::npos);
}

} // namespace
