// The release engineers' tool run end to end: the real setuptool.exe under
// Wine, its output, its exit codes and the files it leaves.
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>

namespace
{

const char kIni[] = "[Uninstall]\r\nUninstall=1\r\nUninstallPwd=VFsex85itaSOPXo/2Axh0A==\r\n";

class SetupToolVrf : public TestDirFixture
{
  protected:
    std::string Quoted(const char* pszName) const
    {
        return "\"" + (pszName[0] ? In(pszName) : dir) + "\"";
    }
};

TEST_F(SetupToolVrf, WritesAndVerifiesEachKind)
{
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoCustom.ini", kIni));
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoUninstallInfo.ini", kIni));
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoCustomSet.ini", kIni));
    const std::string kinds[] = {
        "--custom " + Quoted(""),
        "--uninstall " + Quoted(""),
        "--generic " + Quoted("KelvoCustomSet.ini") + " " + Quoted("KelvoCustomSet.vrf"),
    };
    for (const std::string& kind : kinds) {
        ToolRun write = Tool("vrf write " + kind);
        EXPECT_EQ(write.dwExit, 0u) << kind << "\n" << write.out;
        EXPECT_EQ(write.out, "written\n");
        ToolRun verify = Tool("vrf verify " + kind);
        EXPECT_EQ(verify.dwExit, 0u) << kind;
        EXPECT_EQ(verify.out, "verified\n");
    }
    std::string vrf;
    ASSERT_TRUE(ReadWholeFile(dir + "\\KelvoCustom.vrf", &vrf));
    EXPECT_EQ(vrf.size(), 256u);

    // A hand edit, and a generic .vrf offered as a customisation pair.
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoUninstallInfo.ini", std::string(kIni) + "\r\n"));
    ToolRun edited = Tool("vrf verify " + kinds[1]);
    EXPECT_EQ(edited.dwExit, 1u);
    EXPECT_EQ(edited.out, "not verified\n");
    ASSERT_TRUE(CopyFileA((dir + "\\KelvoCustomSet.vrf").c_str(),
                          (dir + "\\KelvoCustom.vrf").c_str(), FALSE));
    EXPECT_EQ(Tool("vrf verify " + kinds[0]).dwExit, 1u);
}

TEST_F(SetupToolVrf, WriterFailurePrintsTheErrorNumberAndItsMeaning)
{
    ToolRun missing = Tool("vrf write --custom " + Quoted(""));
    EXPECT_EQ(missing.dwExit, 1u);
    EXPECT_NE(missing.out.find("error 301: the INI file's size could not be obtained"),
              std::string::npos)
        << missing.out;

    ASSERT_TRUE(WriteWholeFile(dir + "\\big.ini", std::string(7853, 'x')));
    ToolRun big = Tool("vrf write --generic " + Quoted("big.ini") + " " + Quoted("big.vrf"));
    EXPECT_EQ(big.dwExit, 1u);
    EXPECT_NE(big.out.find("error 302: the INI file is too large"), std::string::npos) << big.out;
}

TEST(SetupToolPwd, EncryptsToTheStoredFormAndBack)
{
    ToolRun enc = Tool("pwd encrypt Pa55w0rd");
    EXPECT_EQ(enc.dwExit, 0u);
    EXPECT_EQ(enc.out, "VFsex85itaSOPXo/2Axh0A==\n");
    ToolRun empty = Tool("pwd encrypt \"\"");
    EXPECT_EQ(empty.out, "jj16P9gMYdA=\n");
    ToolRun dec = Tool("pwd decrypt VFsex85itaSOPXo/2Axh0A==");
    EXPECT_EQ(dec.dwExit, 0u);
    EXPECT_EQ(dec.out, "Pa55w0rd\n");
}

// Non-ASCII passwords travel as hex: Wine mangles such command lines.
TEST(SetupToolPwd, HexCarriesAnyBytes)
{
    ToolRun enc = Tool("pwd encrypt --hex c3dcc2eb313233"); // 密码123 in GBK
    EXPECT_EQ(enc.dwExit, 0u);
    EXPECT_EQ(enc.out, "BtQW1ourqLs=\n");
    ToolRun dec = Tool("pwd decrypt --hex BtQW1ourqLs=");
    EXPECT_EQ(dec.dwExit, 0u);
    EXPECT_EQ(dec.out, "c3dcc2eb313233\n");
    EXPECT_EQ(Tool("pwd encrypt --hex c3d").dwExit, 2u);
}

TEST(SetupToolPwd, TextThatIsNoStoredPasswordFails)
{
    for (const char* pszText : {"jj16P9gMYdA", "not*base64==", "jj16P9gM"}) {
        ToolRun run = Tool(std::string("pwd decrypt ") + pszText);
        EXPECT_EQ(run.dwExit, 1u) << pszText;
        EXPECT_NE(run.out.find("not a stored password text"), std::string::npos) << run.out;
    }
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
        "nosuchcommand",
    };
    for (const char* pszArgs : kWrong) {
        ToolRun run = Tool(pszArgs);
        EXPECT_EQ(run.dwExit, 2u) << pszArgs;
        EXPECT_NE(run.out.find("usage: setuptool"), std::string::npos) << pszArgs;
    }
    ToolRun help = Tool("--help");
    EXPECT_EQ(help.dwExit, 0u);
    EXPECT_NE(help.out.find("vrf verify"), std::string::npos);
    EXPECT_NE(help.out.find("pwd encrypt"), std::string::npos);
}

} // namespace
