// The release engineers' tool run end to end: the real setuptool.exe under
// Wine, one run per customisation command, its output, its exit code and the
// files it leaves. What the library answers in each case, flaws and failures
// included, is tested with the library itself.
#include "test_dir.h"
#include "tool_run.h"
#include "vrf.h"

#include <gtest/gtest.h>

namespace
{

class SetupToolVrf : public TestDirFixture
{
};

TEST_F(SetupToolVrf, WriteSealsThePairAndVerifyTellsAChangedOne)
{
    Write("KelvoCustom.ini", "[Uninstall]\r\nUninstall=1\r\n");
    ToolRun write = Tool("vrf write --custom \"" + dir + "\"");
    EXPECT_EQ(write.dwExit, 0u) << write.out;
    EXPECT_EQ(write.out, "written\n");
    EXPECT_EQ(CusIniVerify(dir.c_str(), 0), 1);

    ToolRun verify = Tool("vrf verify --custom \"" + dir + "\"");
    EXPECT_EQ(verify.dwExit, 0u);
    EXPECT_EQ(verify.out, "verified\n");

    Write("KelvoCustom.ini", "[Uninstall]\r\nUninstall=0\r\n");
    ToolRun tampered = Tool("vrf verify --custom \"" + dir + "\"");
    EXPECT_EQ(tampered.dwExit, 1u); // a pipeline stops on it
    EXPECT_EQ(tampered.out, "not verified\n");
}

TEST(SetupToolPwd, EncryptsToTheStoredForm)
{
    ToolRun enc = Tool("pwd encrypt Pa55w0rd");
    EXPECT_EQ(enc.dwExit, 0u);
    EXPECT_EQ(enc.out, "VFsex85itaSOPXo/2Axh0A==\n");
}

// Non-ASCII passwords travel as hex: Wine mangles such command lines.
TEST(SetupToolPwd, DecryptsToHexBytes)
{
    ToolRun dec = Tool("pwd decrypt --hex BtQW1ourqLs="); // 密码123 in GBK
    EXPECT_EQ(dec.dwExit, 0u);
    EXPECT_EQ(dec.out, "c3dcc2eb313233\n");
}

// custom version reads the pair beside the program itself: the test runs
// its own copy of setuptool.exe in its own directory.
class SetupToolCustom : public TestDirFixture
{
};

TEST_F(SetupToolCustom, VersionPrintsTheVersionAndTheDisplayName)
{
    ASSERT_TRUE(CopyFileA(BinPath("setuptool.exe").c_str(), In("setuptool.exe").c_str(), FALSE));
    Write("KelvoCustomSet.ini", "[Common]\r\nVersion=A1.2B-3456C\r\n");
    int nError = 0;
    ASSERT_EQ(VrfWrite(In("KelvoCustomSet.ini").c_str(), In("KelvoCustomSet.vrf").c_str(), &nError),
              1);
    ToolRun run = ToolAt(In("setuptool.exe"), "custom version");
    EXPECT_EQ(run.dwExit, 0u) << run.out;
    EXPECT_EQ(run.out, "version: A1.2B-3456C\ndisplay name: Kelvo PC 1.2 (C3456)\n");
}

TEST_F(SetupToolCustom, SetWritesTheValueAndSealsThePair)
{
    Write("KelvoCustom.ini", "[OtherOptions]\r\nSilentInstall=0\r\n");
    int nError = 0;
    ASSERT_EQ(CusVrfWrite(&nError, dir.c_str()), 1);
    ToolRun set = Tool("custom set \"" + dir + "\" OtherOptions SilentInstall \"1 2\"");
    EXPECT_EQ(set.dwExit, 0u) << set.out;
    EXPECT_EQ(set.out, "result 0: the value has the requested text (it already had, or it was "
                       "written and a fresh verification file produced)\n");
    EXPECT_EQ(CusIniVerify(dir.c_str(), 0), 1);
    char sz[16] = "";
    GetPrivateProfileStringA("OtherOptions", "SilentInstall", "", sz, sizeof sz,
                             In("KelvoCustom.ini").c_str());
    EXPECT_STREQ(sz, "1 2");
}

TEST(SetupTool, WrongCommandLinesExitWith2AndShowUsage)
{
    const char* const kWrong[] = {
        "vrf",
        "vrf write",
        "vrf write --custom",
        "vrf write --custom a b",
        "vrf verify --generic only.ini",
        "vrf check --custom c:\\x",
        "vrf write --everything c:\\x",
        "pwd",
        "pwd encrypt",
        "pwd encrypt a b",
        "pwd scramble abc",
        "custom",
        "custom version now",
        "custom set c:\\x Section Key",
        "custom set c:\\x Section Key Value More",
        "custom get c:\\x Section Key",
    };
    for (const char* pszArgs : kWrong) {
        ToolRun run = Tool(pszArgs);
        EXPECT_EQ(run.dwExit, 2u) << pszArgs;
        EXPECT_NE(run.out.find("usage: setuptool"), std::string::npos) << pszArgs;
    }
    EXPECT_EQ(Tool("pwd encrypt --hex c3d").dwExit, 2u); // not whole hex bytes
    ToolRun help = Tool("--help");
    EXPECT_EQ(help.dwExit, 0u);
    EXPECT_NE(help.out.find("vrf verify"), std::string::npos);
    EXPECT_NE(help.out.find("pwd encrypt"), std::string::npos);
    EXPECT_NE(help.out.find("custom version"), std::string::npos);
    EXPECT_NE(help.out.find("custom set <dir> <section> <key> <value>"), std::string::npos);
}

} // namespace
