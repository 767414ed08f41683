// Where the password gate finds the protection flag and the stored password:
// real verified pairs in the prefix's Common Files, real backups in its
// system32, real registry values, and the module log lines it writes.
#include "password_gate.h"
#include "file_util.h"
#include "log_lines.h"
#include "machine_registry.h"
#include "path_util.h"
#include "test_env.h"
#include "vrf.h"

#include <gtest/gtest.h>

namespace
{

const char* const kPairFiles[] = {"KelvoCustom.ini", "KelvoCustom.vrf", "KelvoUninstallInfo.ini",
                                  "KelvoUninstallInfo.vrf"};

// The password gate's module log.
std::string GateLog()
{
    return TodayModuleLogPath("setup");
}

std::string Common(const char* pszTail)
{
    return std::string(utl_GetCommonProgramFiles()) + "\\" + pszTail;
}

std::string System32(const char* pszName)
{
    char sz[MAX_PATH];
    GetEnvironmentVariableA("SystemRoot", sz, sizeof sz);
    return std::string(sz) + "\\system32\\" + pszName;
}

void SetRegDword(const char* pszKey, const char* pszName, DWORD dw)
{
    ASSERT_TRUE(SetMachineDword(pszKey, pszName, dw));
}

void SetRegString(const char* pszKey, const char* pszName, const char* pszValue)
{
    ASSERT_TRUE(SetMachineString(pszKey, pszName, pszValue));
}

std::string PairIni(int nUninstall, const char* pszInstall)
{
    return "[Functions]\r\nUninstall=" + std::to_string(nUninstall) + "\r\nInstall=" + pszInstall +
           "\r\n";
}

// A verified customisation and uninstall pair in dir, with the given flags.
void WritePairs(const std::string& dir, int nCustomFlag, const char* pszCustomPwd,
                int nUninstallFlag = 0, const char* pszUninstallPwd = "")
{
    utl_RemoveDirTree(dir.c_str());
    for (size_t i = 0; i < dir.size(); ++i) {
        if (dir[i] == '\\' && i > 2)
            CreateDirectoryA(dir.substr(0, i).c_str(), NULL);
    }
    CreateDirectoryA(dir.c_str(), NULL);
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoCustom.ini", PairIni(nCustomFlag, pszCustomPwd)));
    ASSERT_TRUE(
        WriteWholeFile(dir + "\\KelvoUninstallInfo.ini", PairIni(nUninstallFlag, pszUninstallPwd)));
    int nErr = 0;
    ASSERT_TRUE(CusVrfWrite(&nErr, dir.c_str())) << nErr;
    ASSERT_TRUE(UninstallVrfWrite(&nErr, dir.c_str())) << nErr;
}

class PasswordGateTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_NE(utl_GetCommonProgramFiles(), nullptr);
        reginfo = Common("Kelvo\\Sarnet\\reginfo");
        legacy = Common("Ostmarin\\Sarnet\\reginfo");
        ResetInstalledClient();
        for (const char* pszName : kPairFiles)
            DeleteFileA(System32(pszName).c_str());
        RemoveLogDir();
        memset(buffer, 'J', sizeof buffer); // junk: what is read must be terminated
        buffer[sizeof buffer - 1] = '\0';
    }
    void TearDown() override
    {
        for (const char* pszName : kPairFiles)
            DeleteFileA(System32(pszName).c_str());
        ResetInstalledClient(); // other tests install over an unprotected machine
    }

    bool LoggedAnywhere(const std::string& text) const
    {
        return ReadOr(GateLog(), "").find(text) != std::string::npos;
    }

    std::string reginfo, legacy;
    char buffer[STORED_PWD_BUF];
};

TEST_F(PasswordGateTest, VerifiedCustomisationPairDecidesAlone)
{
    WritePairs(reginfo, 1, "c3RvcmVkIHRleHQ=");
    SetRegString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "5.1.200.7");

    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_STREQ(buffer, "c3RvcmVkIHRleHQ=");
    EXPECT_TRUE(LogHasInOrder({"IsUninstallPrompt:Get UninstallPwd from KelvoCustom\\.ini succ\\.",
                               "IsUninstallPrompt:Get Version from reg succ\\. 5\\.1\\.200\\.7",
                               "IsUninstallPrompt:Need prompt uninstall password Dlg"},
                              GateLog()));

    // With its flag 0 the pair still decides, whatever the registry says.
    RemoveLogDir();
    WritePairs(reginfo, 0, "c3RvcmVkIHRleHQ=");
    SetRegDword(CLIENT_REG_KEY, CLIENT_PROTECTED_VALUE, 1);
    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 0);
    EXPECT_TRUE(LogHasInOrder({"IsUninstallPrompt:!dwResult, return false\\."}, GateLog()));
    EXPECT_FALSE(LoggedAnywhere("from reg"));
}

TEST_F(PasswordGateTest, NoPairsAnywhereFallsBackToTheRegistry)
{
    SetRegDword(CLIENT_REG_KEY, CLIENT_PROTECTED_VALUE, 1);
    SetRegString(CLIENT_REG_KEY, CLIENT_PASSWORD_VALUE, "cmVnaXN0cnk=");
    SetRegString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "5.0");

    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_STREQ(buffer, "cmVnaXN0cnk=");
    EXPECT_TRUE(Exists(reginfo)) << "the reginfo directory is made";
    EXPECT_TRUE(LogHasInOrder(
        {
            "utl_LoadCusIniFile:CusIniVerify new failed,try for old\\.",
            "utl_LoadCusIniFile:CusIniVerify old failed,return false\\.",
            "IsUninstallPrompt:verifying KelvoCustom info FAILED with Err  ,So copy bak files!"
            "CopyFile KelvoCustom\\.ini return false!",
            "IsUninstallPrompt:verifying uninstall info FAILED with Err  ,So copy bak files!"
            "CopyFile KelvoUninstallInfo\\.ini return false!",
            "IsUninstallPrompt:Get Uninstall from reg succ",
            "IsUninstallPrompt:Get UninstallPwd from reg Succ\\.",
            "IsUninstallPrompt:Get Version from reg succ\\. 5\\.0",
        },
        GateLog()));
}

TEST_F(PasswordGateTest, LegacyDirectoryIsMigratedAndRemoved)
{
    WritePairs(legacy, 1, "bGVnYWN5");
    SetRegString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "4.9");

    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_STREQ(buffer, "bGVnYWN5");
    for (const char* pszName : kPairFiles)
        EXPECT_TRUE(Exists(reginfo + "\\" + pszName)) << pszName;
    EXPECT_FALSE(Exists(Common("Ostmarin")));
    EXPECT_TRUE(LogHasInOrder({"utl_LoadCusIniFile:CusIniVerify new failed,try for old\\.",
                               "utl_LoadCusIniFile:CusIniVerify old true,so copy files\\.",
                               "IsUninstallPrompt:Get UninstallPwd from KelvoCustom\\.ini succ\\."},
                              GateLog()));
}

TEST_F(PasswordGateTest, InterruptedMigrationKeepsTheLegacyDirectoryAndTriesTheBackups)
{
    WritePairs(legacy, 1, "bGVnYWN5");
    DeleteFileA((legacy + "\\KelvoUninstallInfo.vrf").c_str());
    // Backups of the customisation pair, made as a verified pair elsewhere.
    std::string backup = Common("Kelvo-backup");
    WritePairs(backup, 1, "YmFja3Vw");
    ASSERT_TRUE(CopyFileA((backup + "\\KelvoCustom.ini").c_str(),
                          System32("KelvoCustom.ini").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((backup + "\\KelvoCustom.vrf").c_str(),
                          System32("KelvoCustom.vrf").c_str(), FALSE));
    utl_RemoveDirTree(backup.c_str());
    SetRegString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "4.9");

    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_STREQ(buffer, "YmFja3Vw") << "the backup pair was copied over and used";
    EXPECT_TRUE(Exists(legacy + "\\KelvoCustom.ini")) << "the legacy directory stays";
    EXPECT_TRUE(
        LogHasInOrder({"utl_LoadCusIniFile:CusIniVerify old true,so copy files\\.",
                       "utl_LoadCusIniFile:CopyFile KelvoUninstallInfo\\.vrf return false!",
                       "IsUninstallPrompt:verifying KelvoCustom info FAILED with Err  ,So copy "
                       "bak files!",
                       "IsUninstallPrompt:Get UninstallPwd from KelvoCustom\\.ini succ\\."},
                      GateLog()));
}

TEST_F(PasswordGateTest, RegistryFlagOnlyUnderTheNewerVendorKey)
{
    SetRegDword(CLIENT_OLD_REG_KEY, CLIENT_PROTECTED_VALUE, 1);
    SetRegString(CLIENT_OLD_REG_KEY, CLIENT_PASSWORD_VALUE, "cW9yIGtleQ==");
    SetRegString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "5.1");

    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_STREQ(buffer, "cW9yIGtleQ==");
    EXPECT_TRUE(LogHasInOrder({"IsUninstallPrompt:Get Uninstall from reg failed",
                               "IsUninstallPrompt:Get UninstallPwd from reg Succ\\."},
                              GateLog()));
    EXPECT_FALSE(LoggedAnywhere("Get Uninstall from old reg failed"));
}

TEST_F(PasswordGateTest, ClientRegisteredOnlyUnderTheOlderUninstallKey)
{
    SetRegDword(CLIENT_REG_KEY, CLIENT_PROTECTED_VALUE, 1);
    SetRegString(CLIENT_OLDER_UNINSTALL_KEY, "DisplayVersion", "3.2");
    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 1);
    EXPECT_TRUE(LogHasInOrder({"IsUninstallPrompt:Get UninstallPwd from reg fail,Return true\\.",
                               "IsUninstallPrompt:Get Version from new reg failed, try old\\.",
                               "IsUninstallPrompt:Get Version from old reg succ, return true\\."},
                              GateLog()));
    EXPECT_FALSE(LoggedAnywhere("Need prompt uninstall password Dlg"));

    // A protected client registered nowhere is not asked about.
    RemoveLogDir();
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, CLIENT_OLDER_UNINSTALL_KEY);
    EXPECT_EQ(IsUninstallPrompt("setup", buffer), 0);
    EXPECT_TRUE(LogHasInOrder(
        {"IsUninstallPrompt:Get Version from old reg failed, return false\\."}, GateLog()));
    EXPECT_EQ(IsUninstallPrompt("setup", NULL), 0);
    EXPECT_TRUE(LogHasInOrder({"IsUninstallPrompt:parameter err\\."}, GateLog()));
}

// A dialog that cannot be made must not leave the entry waiting for a quit
// message nobody posts; the run ends as if the user had cancelled. This test
// program carries no dialog 134.
TEST(PasswordDialog, MissingDialogCountsAsCancelled)
{
    RemoveLogDir();
    g_bExit = 0;
    EXPECT_EQ(RunPasswordDialog(GetModuleHandleA(NULL)), 0);
    EXPECT_TRUE(LogHasInOrder({"CreateDialogParam failed with err .*"}));
}

} // namespace
