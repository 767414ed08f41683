// The program's own directory, the Common Files directory, the name checks,
// the path cutter and the management-centre settings beside the program,
// on the real file system of the prefix.
#include "chinese_system.h"
#include "log.h"
#include "log_lines.h"
#include "machine_registry.h"
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

// The value HKEY_LOCAL_MACHINE keeps, in the view of this program's bitness.
std::string MachineCommonFiles()
{
    std::string value;
    EXPECT_TRUE(ReadMachineString("SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                                  &value));
    return value;
}

// Runs the probe, which plants the caller's environment in a process of its
// own; its three lines.
std::vector<std::string> ProbeWithPlanted(const std::string& planted)
{
    DWORD dwExit = 99;
    std::string out;
    EXPECT_TRUE(RunAndCapture(BinPath("common-files-probe.exe"), "\"" + planted + "\"", 60000,
                              &dwExit, &out));
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

// A caller who sets "CommonProgramFiles" and "SystemRoot" to a folder of
// theirs gets nothing from the launcher: Common Files is the machine's, the
// password gate makes no folder in theirs, and no backup of theirs is copied
// into the client's reginfo folder (where the gate, finding no verified
// pair, looks for backups in system32).
TEST(CommonFiles, ComesFromTheMachineNeverFromTheEnvironment)
{
    ResetInstalledClient();
    std::string planted = FreshTestDir("planted-environment");
    ASSERT_TRUE(CreateDirectoryA((planted + "\\Common Files").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA((planted + "\\system32").c_str(), NULL));
    for (const char* pszName : {"KelvoCustom.ini", "KelvoCustom.vrf"})
        ASSERT_TRUE(WriteWholeFile(planted + "\\system32\\" + pszName, "planted"));

    std::vector<std::string> lines = ProbeWithPlanted(planted);
    EXPECT_EQ(lines[0], MachineCommonFiles());
    EXPECT_EQ(lines[1], lines[0]) << "not asked again once set";
    EXPECT_EQ(lines[2], "prompt=0");
    EXPECT_EQ(Names(planted + "\\Common Files\\*"), std::vector<std::string>{});
    EXPECT_EQ(Names(planted + "\\system32\\*"),
              (std::vector<std::string>{"KelvoCustom.ini", "KelvoCustom.vrf"}));
    EXPECT_EQ(ReadOr(lines[0] + "\\Kelvo\\Sarnet\\reginfo\\KelvoCustom.ini"), "<missing>");
    ResetInstalledClient();
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
