// The program's own directory, the Common Files directory, the name checks,
// the path cutter and the management-centre settings beside the program,
// on the real file system of the prefix.
#include "chinese_system.h"
#include "log.h"
#include "log_lines.h"
#include "mng_center.h"
#include "path_util.h"

#include <gtest/gtest.h>
#include <string.h>
#include <vector>

namespace
{

std::string OwnPath()
{
    char sz[MAX_PATH + 1];
    DWORD cch = GetModuleFileNameA(NULL, sz, sizeof sz);
    return std::string(sz, cch);
}

TEST(RunPath, WithAndWithoutTheTrailingBackslash)
{
    std::string own = OwnPath();
    std::string dir = own.substr(0, own.rfind('\\'));
    char sz[MAX_PATH + 1];
    ASSERT_EQ(getCurRunPath(sz, sizeof sz, 1), 1);
    EXPECT_EQ(std::string(sz), dir + "\\");
    ASSERT_EQ(getCurRunPath(sz, sizeof sz, 0), 1);
    EXPECT_EQ(std::string(sz), dir);
}

TEST(RunPath, RefusesACutPathAndLogsWhy)
{
    RemoveLogDir();
    std::string own = OwnPath();
    // Exactly as long as the path: no room for the terminator.
    std::vector<char> buf(own.size(), '#');
    EXPECT_EQ(getCurRunPath(buf.data(), (unsigned)buf.size(), 1), 0);
    std::string cut = own.substr(0, own.size() - 1);
    EXPECT_EQ(std::string(buf.data()), cut);
    EXPECT_TRUE(LogHasInOrder({"getCurRunPath: insufficient buffer -- " + Literally(cut)},
                              TodayModuleLogPath("UtlCommon")));

    // One more byte is enough.
    buf.assign(own.size() + 1, '#');
    EXPECT_EQ(getCurRunPath(buf.data(), (unsigned)buf.size(), 0), 1);
}

TEST(RunPath, RefusesMissingBuffer)
{
    RemoveLogDir();
    char sz[8];
    EXPECT_EQ(getCurRunPath(NULL, 100, 1), 0);
    EXPECT_EQ(getCurRunPath(sz, 0, 1), 0);
    EXPECT_TRUE(
        LogHasInOrder({"getCurRunPath: invalid paras\\.", "getCurRunPath: invalid paras\\."},
                      TodayModuleLogPath("UtlCommon")));
}

// Runs the probe, which reports from a process of its own, with the
// variable set to pszValue (or removed when it is NULL).
std::vector<std::string> ProbeCommonFiles(const char* pszValue)
{
    std::string args = pszValue ? std::string("--set \"") + pszValue + "\"" : "--unset";
    DWORD dwExit = 99;
    std::string out;
    bool bRan = RunAndCapture(BinPath("common-files-probe.exe"), args, 20000, &dwExit, &out);
    EXPECT_TRUE(bRan);
    EXPECT_EQ(dwExit, 0u);
    std::vector<std::string> lines;
    size_t nStart = 0, nEnd;
    while ((nEnd = out.find('\n', nStart)) != std::string::npos) {
        std::string line = out.substr(nStart, nEnd - nStart);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        nStart = nEnd + 1;
    }
    EXPECT_EQ(lines.size(), 3u) << out;
    lines.resize(3);
    return lines;
}

std::string SystemDriveRule()
{
    char sz[MAX_PATH + 1];
    GetSystemDirectoryA(sz, sizeof sz);
    return std::string(1, sz[0]) + ":\\Program Files\\Common Files";
}

TEST(CommonFiles, TakesTheVariableAndKeepsTheFirstAnswer)
{
    std::vector<std::string> lines = ProbeCommonFiles("D:\\Shared Stuff");
    EXPECT_EQ(lines[0], "D:\\Shared Stuff");
    EXPECT_EQ(lines[1], "D:\\Shared Stuff");
    EXPECT_EQ(lines[2], "same");
}

TEST(CommonFiles, WithoutTheVariableUsesTheSystemDrive)
{
    std::vector<std::string> lines = ProbeCommonFiles(NULL);
    EXPECT_EQ(lines[0], SystemDriveRule());
    EXPECT_EQ(lines[1], SystemDriveRule()) << "not asked again once set";
    EXPECT_EQ(lines[2], "same");
}

TEST(CommonFiles, AValueTooLongForTheCacheCountsAsUnset)
{
    std::string fits = "E:\\" + std::string(257, 'f'); // 260 characters
    EXPECT_EQ(ProbeCommonFiles(fits.c_str())[0], fits);
    std::string tooLong = "E:\\" + std::string(258, 'g'); // 261 characters
    EXPECT_EQ(ProbeCommonFiles(tooLong.c_str())[0], SystemDriveRule());
}

TEST(NameChecks, ForbiddenCharacters)
{
    for (const char* psz : {"a\\b", "a/b", "c:", "*.ini", "why?", "\"q\"", "<", ">", "a|b"}) {
        EXPECT_EQ(utl_IsValidFileName(psz), 0) << psz;
        EXPECT_EQ(utl_IsValidFileName2(psz), 0) << psz;
    }
    EXPECT_EQ(utl_IsValidFileName("Kelvo's.ini"), 1);
    EXPECT_EQ(utl_IsValidFileName2("Kelvo's.ini"), 0);
    EXPECT_EQ(utl_IsValidFileName("tab\there"), 0);
    EXPECT_EQ(utl_IsValidFileName2("tab\there"), 1);
    EXPECT_EQ(utl_IsValidFileName(""), 1);
    EXPECT_EQ(utl_IsValidFileName("KelvoCustom.ini"), 1);
}

TEST(CutAtLastSeparator, CutsAtTheLastBackslashOnly)
{
    char sz[64] = "C:\\A\\setup.exe";
    EXPECT_EQ(utl_CutAtLastSeparator(sz, 1), sz);
    EXPECT_STREQ(sz, "C:\\A\\");
    EXPECT_EQ(utl_CutAtLastSeparator(sz, 0), sz); // only the trailing backslash goes
    EXPECT_STREQ(sz, "C:\\A");

    char szNone[] = "dir/setup.exe";
    EXPECT_EQ(utl_CutAtLastSeparator(szNone, 1), nullptr);
    EXPECT_STREQ(szNone, "dir/setup.exe");
    char szEmpty[] = "";
    EXPECT_EQ(utl_CutAtLastSeparator(szEmpty, 0), nullptr);
    EXPECT_EQ(utl_CutAtLastSeparator(NULL, 0), nullptr);
}

// In the Chinese code page "誠" is D5 5C: its second byte is the backslash
// and "亅" (81 7C) ends in the vertical bar.
TEST(ChineseCodePage, TrailBytesAreNotSeparators)
{
    SKIP_UNLESS_CHINESE_SYSTEM();
    char szPath[] = "C:\\A\\\xd5\x5c";
    EXPECT_EQ(utl_CutAtLastSeparator(szPath, 0), szPath);
    EXPECT_STREQ(szPath, "C:\\A");
    char szDir[] = "C:\\\xd5\x5c\\x";
    EXPECT_EQ(utl_CutAtLastSeparator(szDir, 1), szDir);
    EXPECT_STREQ(szDir, "C:\\\xd5\x5c\\");
    EXPECT_EQ(utl_IsValidFileName("\xd5\x5c.ini"), 1);
    EXPECT_EQ(utl_IsValidFileName2("\x81\x7c.ini"), 1);
    EXPECT_EQ(utl_IsValidFileName("\x81\x7c|.ini"), 0);
}

class MngCenterTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        path = BinPath("KelvoMngCenter.ini");
        Remove();
        nSavedDetail = g_bLogDetail;
    }
    void TearDown() override
    {
        Remove();
        g_bLogDetail = nSavedDetail;
    }
    void Remove()
    {
        DeleteFileA(path.c_str());
        RemoveDirectoryA(path.c_str());
    }
    std::string path;
    int nSavedDetail = 0;
};

TEST_F(MngCenterTest, ReadsTheFileBesideTheProgram)
{
    ASSERT_TRUE(WriteWholeFile(path, "[config]\r\nLogDetail=3\r\nbUpdEnabe=-2\r\n"));
    g_bLogDetail = 0;
    utl_LoadLogDetailSwitch();
    EXPECT_EQ(g_bLogDetail, 3);
    EXPECT_EQ(utl_GetLogDetail(), 3);
    EXPECT_EQ(utl_IsUpdateEnabled(), -2);

    // Read anew on each call.
    ASSERT_TRUE(WriteWholeFile(path, "[config]\r\nbUpdEnabe=1\r\n"));
    EXPECT_EQ(utl_IsUpdateEnabled(), 1);
    utl_LoadLogDetailSwitch();
    EXPECT_EQ(g_bLogDetail, 0);
}

TEST_F(MngCenterTest, MissingFileOrDirectoryReadsAsZero)
{
    g_bLogDetail = 1;
    utl_LoadLogDetailSwitch();
    EXPECT_EQ(g_bLogDetail, 0);
    EXPECT_EQ(utl_IsUpdateEnabled(), 0);

    ASSERT_TRUE(CreateDirectoryA(path.c_str(), NULL));
    g_bLogDetail = 1;
    utl_LoadLogDetailSwitch();
    EXPECT_EQ(g_bLogDetail, 0);
    EXPECT_EQ(utl_GetLogDetail(), 0);
}

} // namespace
