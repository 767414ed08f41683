// The two log writers, checked on the files they leave in c:\KelvoLog.
#include "log.h"
#include "object_trust.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <sddl.h>
#include <iterator>
#include <regex>
#include <thread>
#include <vector>

namespace
{

std::string TodayDash()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    char sz[16];
    snprintf(sz, sizeof sz, "%04u-%02u-%02u", st.wYear, st.wMonth, st.wDay);
    return sz;
}

std::string ThreadHex()
{
    char sz[16];
    snprintf(sz, sizeof sz, "%x", (unsigned)GetCurrentThreadId());
    return sz;
}

// A log file name of an earlier week: another date, the given weekday.
std::string OldLogPath(const char* pszBase, int nWeekday)
{
    char sz[MAX_PATH];
    snprintf(sz, sizeof sz, "c:\\KelvoLog\\%s200001%02d%02d.log", pszBase, 10 + nWeekday, nWeekday);
    return sz;
}

int TodayWeekday()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return st.wDayOfWeek;
}

class LogTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        RemoveLogDir();
        g_bLogDetail = 0;
    }
    void TearDown() override
    {
        g_bLogDetail = 0;
    }
};

TEST_F(LogTest, SetupLinesHaveTimeThreadAndTextEndedByCrLf)
{
    WriteSetupLog("The C free space is 12M.");
    WriteSetupLog("");

    std::string data = ReadOr(TodaySetupLogPath(), "");
    std::string time = "\\[" + TodayDash() + " \\d\\d:\\d\\d:\\d\\d\\] ";
    std::string thread = "\\[" + ThreadHex() + "\\] ";
    std::regex expected(time + thread + "The C free space is 12M\\.\r\n" + time + thread + "\r\n");
    EXPECT_TRUE(std::regex_match(data, expected)) << data;

    // A text has no length limit.
    std::string longText(5000, 'L');
    WriteSetupLog(longText.c_str());
    data = ReadOr(TodaySetupLogPath(), "");
    EXPECT_NE(data.find("] " + longText + "\r\n"), std::string::npos);
}

TEST_F(LogTest, ModuleLinesHave0xThreadAndDetailTag)
{
    utl_WriteModuleLog("UtlFile", "utl_FileUnpack: done", 0);
    g_bLogDetail = 1;
    utl_WriteModuleLog("UtlFile", "a detail", 1);

    std::string data = ReadOr(TodayModuleLogPath("UtlFile"), "");
    std::string time = "\\[" + TodayDash() + " \\d\\d:\\d\\d:\\d\\d\\] ";
    std::string thread = "\\[0x" + ThreadHex() + "\\] ";
    std::regex expected(time + thread + "utl_FileUnpack: done\r\n" + time + "\\[DTL\\] " + thread +
                        "a detail\r\n");
    EXPECT_TRUE(std::regex_match(data, expected)) << data;
}

TEST_F(LogTest, EachLogHasItsOwnDayFile)
{
    WriteSetupLog("setup line");
    utl_WriteModuleLog("setup", "module setup line", 0);
    utl_WriteModuleLog("waitSetup", "wait line", 0);

    std::string setup = ReadOr(TodaySetupLogPath(), "");
    std::string moduleSetup = ReadOr(TodayModuleLogPath("setup"), "");
    std::string wait = ReadOr(TodayModuleLogPath("waitSetup"), "");
    EXPECT_NE(setup.find("] setup line\r\n"), std::string::npos);
    EXPECT_EQ(setup.find("module"), std::string::npos);
    EXPECT_NE(moduleSetup.find("] module setup line\r\n"), std::string::npos);
    EXPECT_EQ(moduleSetup.find("wait"), std::string::npos);
    EXPECT_NE(wait.find("] wait line\r\n"), std::string::npos);
}

TEST_F(LogTest, FirstLineOfTheDayRemovesSameWeekdayOfEarlierWeeks)
{
    int nToday = TodayWeekday();
    int nOther = (nToday + 1) % 7;
    // The folder as the writer makes it: one the test made would be set
    // aside (on Windows it inherits write for every user from C:\).
    utl_WriteModuleLog("LogTest", "makes the folder", 0);
    std::string oldSame = OldLogPath("setup", nToday);
    std::string oldOther = OldLogPath("setup", nOther);
    std::string moduleSame = OldLogPath("stp_UtlFile", nToday);
    ASSERT_TRUE(WriteWholeFile(oldSame, "old"));
    ASSERT_TRUE(WriteWholeFile(oldOther, "old"));
    ASSERT_TRUE(WriteWholeFile(moduleSame, "old"));
    SetFileAttributesA(oldSame.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

    WriteSetupLog("first");
    EXPECT_FALSE(Exists(oldSame)) << "read-only file of the same weekday must go";
    EXPECT_TRUE(Exists(oldOther));
    EXPECT_TRUE(Exists(moduleSame)) << "another log's files are not this log's history";

    // Later lines of the day append and do no clean-up.
    ASSERT_TRUE(WriteWholeFile(oldSame, "old"));
    WriteSetupLog("second");
    EXPECT_TRUE(Exists(oldSame));
    std::string data = ReadOr(TodaySetupLogPath(), "");
    EXPECT_NE(data.find("] first\r\n"), std::string::npos);
    EXPECT_NE(data.find("] second\r\n"), std::string::npos);
}

TEST_F(LogTest, DetailLineWithSwitchOffTouchesNothing)
{
    utl_WriteModuleLog("utlProc", "detail", 1);
    EXPECT_FALSE(Exists("c:\\KelvoLog"));

    CreateDirectoryA("c:\\KelvoLog", NULL);
    std::string oldSame = OldLogPath("stp_utlProc", TodayWeekday());
    ASSERT_TRUE(WriteWholeFile(oldSame, "old"));
    utl_WriteModuleLog("utlProc", "detail", 1);
    EXPECT_TRUE(Exists(oldSame));
    EXPECT_FALSE(Exists(TodayModuleLogPath("utlProc")));
}

// Whatever stands at c:\KelvoLog that is not a folder this process made or
// a trusted owner's is set aside, never deleted, and the line goes into a new
// folder. (Wine reports its own user as the owner of every folder, so there
// a folder made by another process is set aside too; Windows keeps one owned
// by Administrators.)
TEST_F(LogTest, AnythingElseAtTheFolderIsSetAsideAndKept)
{
    ASSERT_TRUE(WriteWholeFile("c:\\KelvoLog", "not a directory"));
    WriteSetupLog("written");
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA("c:\\KelvoLog.untrusted.*", &fd);
    ASSERT_NE(hFind, INVALID_HANDLE_VALUE);
    FindClose(hFind);
    EXPECT_EQ(ReadOr(std::string("c:\\") + fd.cFileName), "not a directory");
    EXPECT_NE(ReadOr(TodaySetupLogPath(), "").find("] written\r\n"), std::string::npos);
}

// A folder kept at c:\KelvoLog is one that nobody but SYSTEM and
// Administrators may change: its owner, and every entry of its DACL, those
// that only new files inherit too. An earlier launcher's folder made with
// default security inherits "Authenticated Users: Modify" from C:\ and is
// set aside. Wine keeps no descriptor of its own for a folder (it maps one
// to Unix permissions, with its user as the owner), so the descriptors are
// judged as Windows would give them.
TEST(LogFolderTrust, OnlyAFolderNoOneElseMayChangeIsKept)
{
    struct {
        const char* pszSddl;
        int bKept;
    } cases[] = {
        {"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)", 1},
        {"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FA;;;CO)", 1},
        {"O:BAD:(D;OICI;FA;;;AN)(A;OICI;FA;;;BA)", 1},
        {"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;0x1301bf;;;AU)", 0},
        {"O:BAD:(A;;FA;;;BA)(A;;0x100;;;BU)", 0}, // a user may change its attributes
        {"O:BAD:(A;;FA;;;BA)(A;;WD;;;WD)", 0},    // anyone may change its DACL
        {"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", 0},
        {"O:BA", 0}, // no DACL: everyone may do everything
    };
    for (const auto& c : cases) {
        PSECURITY_DESCRIPTOR pSd = NULL;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(c.pszSddl, SDDL_REVISION_1,
                                                                         &pSd, NULL))
            << c.pszSddl;
        EXPECT_EQ(utl_DescriptorLetsOnlyAdminsChange(pSd), c.bKept) << c.pszSddl;
        LocalFree(pSd);
    }
}

// A log file that has another name could be any file of the machine: the
// elevated launcher does not append to it.
TEST_F(LogTest, LogFileWithAnotherNameIsNotWrittenThrough)
{
    WriteSetupLog("first");
    const std::string other = "C:\\tmp\\kelvo-log-other.txt";
    ASSERT_TRUE(WriteWholeFile(other, "precious"));
    DeleteFileA(TodaySetupLogPath().c_str());
    ASSERT_TRUE(CreateHardLinkA(TodaySetupLogPath().c_str(), other.c_str(), NULL));
    WriteSetupLog("lost");
    EXPECT_EQ(ReadOr(other), "precious");
    DeleteFileA(other.c_str());
}

TEST_F(LogTest, FailuresAreSilentAndLoseOnlyTheLine)
{
    std::string data;
    // Today's file held open by someone who shares nothing.
    WriteSetupLog("kept");
    HANDLE hHeld = CreateFileA(TodaySetupLogPath().c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    WriteSetupLog("lost");
    CloseHandle(hHeld);
    WriteSetupLog("after");
    data = ReadOr(TodaySetupLogPath(), "");
    EXPECT_NE(data.find("] kept\r\n"), std::string::npos);
    EXPECT_EQ(data.find("lost"), std::string::npos);
    EXPECT_NE(data.find("] after\r\n"), std::string::npos);
}

TEST_F(LogTest, ConcurrentWritersNeitherOverwriteNorInterleave)
{
    WriteSetupLog("start"); // today's file exists before the writers race
    const int kThreads = 4, kLines = 150;
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kLines; ++i) {
                char sz[64];
                snprintf(sz, sizeof sz, "writer %d line %03d %s", t, i, "xxxxxxxxxxxxxxxxxxxx");
                WriteSetupLog(sz);
            }
        });
    }
    for (std::thread& w : writers)
        w.join();

    std::string data = ReadOr(TodaySetupLogPath(), "");
    std::regex line("\\[[-0-9: ]+\\] \\[[0-9a-f]+\\] (start|writer \\d line \\d{3} x{20})\r\n");
    std::sregex_iterator it(data.begin(), data.end(), line), end;
    // Windows appends each write of an append-only handle at the end of the
    // file as one step: every byte belongs to one whole line, one after
    // another. Wine 8 finds the end and then writes there, so two handles can
    // write at one offset: a line is lost whole, or cut where the lines differ
    // in length (thread ids of two or three digits, the start line). There
    // only many whole lines can be asked for.
    if (RunningOnWine()) {
        EXPECT_GT(std::distance(it, end), kThreads);
        return;
    }
    int nLines = 0;
    size_t cbCovered = 0;
    for (; it != end && (size_t)it->position() == cbCovered; ++it) {
        cbCovered += it->length();
        ++nLines;
    }
    EXPECT_EQ(cbCovered, data.size()) << data.substr(cbCovered, 200);
    EXPECT_EQ(nLines, 1 + kThreads * kLines);
}

} // namespace
