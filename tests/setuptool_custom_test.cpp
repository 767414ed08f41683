// The release engineers' tool run end to end: the real setuptool.exe under
// Wine, its output, its exit codes and the files it leaves.
#include "test_dir.h"
#include "tool_run.h"
#include "vrf.h"

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

// setuptool custom version reads the pair beside the program itself: each
// test runs its own copy of setuptool.exe in its own directory, a fresh
// process that has read no version yet.
class SetupToolCustom : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        ASSERT_TRUE(
            CopyFileA(BinPath("setuptool.exe").c_str(), In("setuptool.exe").c_str(), FALSE));
    }
    ToolRun Version() const
    {
        return ToolAt(In("setuptool.exe"), "custom version");
    }
    ToolRun SetValue(const std::string& args) const
    {
        return Tool("custom set \"" + dir + "\" " + args);
    }
    void WriteSetPair(const std::string& version) const
    {
        ASSERT_TRUE(
            WriteWholeFile(In("KelvoCustomSet.ini"), "[Common]\r\nVersion=" + version + "\r\n"));
        int nError = 0;
        ASSERT_EQ(
            VrfWrite(In("KelvoCustomSet.ini").c_str(), In("KelvoCustomSet.vrf").c_str(), &nError),
            1);
    }
    void WriteCustomPair(const std::string& ini) const
    {
        ASSERT_TRUE(WriteWholeFile(In("KelvoCustom.ini"), ini));
        int nError = 0;
        ASSERT_EQ(CusVrfWrite(&nError, dir.c_str()), 1);
    }
};

TEST_F(SetupToolCustom, VersionPrintsTheVersionAndTheDisplayName)
{
    WriteSetPair("A1.2B-3456C");
    ToolRun run = Version();
    EXPECT_EQ(run.dwExit, 0u) << run.out;
    EXPECT_EQ(run.out, "version: A1.2B-3456C\ndisplay name: Kelvo PC 1.2 (C3456)\n");
}

TEST_F(SetupToolCustom, VersionNamesWhatIsWrongWithThePair)
{
    struct Case {
        const char* pszVersion; // NULL: no pair at all
        const char* pszLeaveOut;
        const char* pszReason;
    };
    const Case kCases[] = {
        {NULL, NULL, "there is no KelvoCustomSet.ini"},
        {"A1.2B-3456C", "KelvoCustomSet.vrf", "there is no KelvoCustomSet.vrf"},
        {"A1.2B-345C", NULL, "is not exactly 11 characters long"},
        {"A1.2B-3456CD", NULL, "is not exactly 11 characters long"},
        {"A1.2B03456C", NULL, "holds no \"-\""},
    };
    for (const Case& c : kCases) {
        DeleteFileA(In("KelvoCustomSet.ini").c_str());
        DeleteFileA(In("KelvoCustomSet.vrf").c_str());
        if (c.pszVersion != NULL)
            WriteSetPair(c.pszVersion);
        if (c.pszLeaveOut != NULL) {
            ASSERT_TRUE(DeleteFileA(In(c.pszLeaveOut).c_str()));
        }
        ToolRun run = Version();
        EXPECT_EQ(run.dwExit, 1u) << c.pszReason;
        EXPECT_EQ(run.out.find("no version in " + dir + ": "), 0u) << run.out;
        EXPECT_NE(run.out.find(c.pszReason), std::string::npos) << run.out;
    }

    WriteSetPair("A1.2B-3456C");
    ASSERT_TRUE(WriteWholeFile(In("KelvoCustomSet.ini"), "[Common]\r\nVersion=A1.2B-3456D\r\n"));
    ToolRun edited = Version();
    EXPECT_EQ(edited.dwExit, 1u);
    EXPECT_NE(edited.out.find("KelvoCustomSet.ini does not verify"), std::string::npos)
        << edited.out;
}

TEST_F(SetupToolCustom, SetPrintsTheResultAndItsMeaning)
{
    ToolRun none = SetValue("OtherOptions SilentInstall 1");
    EXPECT_EQ(none.dwExit, 1u);
    EXPECT_EQ(none.out, "result 1001: the directory holds no KelvoCustom.ini\n");

    WriteCustomPair("[OtherOptions]\r\nSilentInstall=0\r\n");
    ToolRun set = SetValue("OtherOptions SilentInstall \"1 2\"");
    EXPECT_EQ(set.dwExit, 0u) << set.out;
    EXPECT_EQ(set.out.find("result 0: "), 0u) << set.out;
    EXPECT_EQ(CusIniVerify(dir.c_str(), 0), 1);
    char sz[16] = "";
    GetPrivateProfileStringA("OtherOptions", "SilentInstall", "", sz, sizeof sz,
                             In("KelvoCustom.ini").c_str());
    EXPECT_STREQ(sz, "1 2");

    std::string ini;
    ASSERT_TRUE(ReadWholeFile(In("KelvoCustom.ini"), &ini));
    ASSERT_TRUE(WriteWholeFile(In("KelvoCustom.ini"), ini + "\r\n"));
    ToolRun refused = SetValue("OtherOptions SilentInstall 0");
    EXPECT_EQ(refused.dwExit, 1u);
    EXPECT_EQ(refused.out,
              "result 1002: the customisation pair does not verify; nothing was changed\n");

    WriteCustomPair("[Pad]\r\nFill=" + std::string(7800, 'p') + "\r\n");
    ToolRun large = SetValue("Pad More 0123456789012345678901234567890123456789");
    EXPECT_EQ(large.dwExit, 1u);
    EXPECT_EQ(large.out, "result 302: the value was written, but no fresh verification file: "
                         "the INI file is too large\n");
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
    EXPECT_NE(help.out.find("custom version"), std::string::npos);
    EXPECT_NE(help.out.find("custom set <dir> <section> <key> <value>"), std::string::npos);
}

} // namespace
