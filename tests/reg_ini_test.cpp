// Registry and INI helpers against the prefix's real registry (HKLM) and
// real INI files. Values are laid out with the plain Win32 calls, so the
// helpers are checked against the system, not against themselves.
#include "reg_ini.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <string.h>
#include <vector>

namespace
{

const char kKey[] = "SOFTWARE\\KelvoTests\\RegIni";

class RegistryTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
        ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, kKey, &hKey), ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(hKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey);
    }
    void Set(const char* pszName, DWORD dwType, const void* pData, DWORD cb)
    {
        ASSERT_EQ(RegSetValueExA(hKey, pszName, 0, dwType, (const BYTE*)pData, cb), ERROR_SUCCESS);
    }
    void SetText(const char* pszName, const std::string& text)
    {
        Set(pszName, REG_SZ, text.c_str(), (DWORD)text.size() + 1);
    }
    HKEY hKey = NULL;
};

TEST_F(RegistryTest, DwordReadsFourBytesAndRefusesMore)
{
    DWORD dw = 0x12345678;
    Set("Four", REG_DWORD, &dw, 4);
    unsigned long long qw = 0x1122334455667788ull;
    Set("Eight", REG_QWORD, &qw, 8);
    Set("EightBinary", REG_BINARY, &qw, 8);
    Set("Two", REG_BINARY, "\x01\x02", 2);

    DWORD dwOut = 0xcccccccc;
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "Four", &dwOut), 1);
    EXPECT_EQ(dwOut, 0x12345678u);

    dwOut = 0xcccccccc;
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "Eight", &dwOut), 0);
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "EightBinary", &dwOut), 0);
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "Missing", &dwOut), 0);
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\KelvoTests\\NoKey", "Four", &dwOut),
              0);
    EXPECT_EQ(dwOut, 0xccccccccu) << "a refused value leaves the variable alone";
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "Four", NULL), 0);

    // The type is not looked at; fewer bytes read zero-extended.
    EXPECT_EQ(utl_ReadRegDword(HKEY_LOCAL_MACHINE, kKey, "Two", &dwOut), 1);
    EXPECT_EQ(dwOut, 0x0201u);
}

TEST_F(RegistryTest, DwordWriteCreatesTheKey)
{
    const char kNew[] = "SOFTWARE\\KelvoTests\\RegIni\\Created";
    EXPECT_EQ(utl_WriteRegDword(HKEY_LOCAL_MACHINE, kNew, "SetupFlag", 0xfeedbeef), 1);
    HKEY hNew = NULL;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kNew, 0, KEY_QUERY_VALUE, &hNew), ERROR_SUCCESS);
    DWORD dwType = 0, dwValue = 0, cb = sizeof dwValue;
    EXPECT_EQ(RegQueryValueExA(hNew, "SetupFlag", NULL, &dwType, (BYTE*)&dwValue, &cb),
              ERROR_SUCCESS);
    RegCloseKey(hNew);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kNew);
    EXPECT_EQ(dwType, (DWORD)REG_DWORD);
    EXPECT_EQ(cb, 4u);
    EXPECT_EQ(dwValue, 0xfeedbeefu);
}

TEST_F(RegistryTest, StringCapacityBoundaries)
{
    SetText("T128", std::string(128, 'a'));
    SetText("T129", std::string(129, 'b'));
    SetText("T259", std::string(259, 'c'));
    SetText("T260", std::string(260, 'd'));

    std::vector<char> out(300, '#');
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T128", out.data(), 128), 1);
    EXPECT_EQ(std::string(out.data()), std::string(128, 'a'));
    EXPECT_EQ(out[129], '#') << "128 characters and the terminator, no more";

    out.assign(300, '#');
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T129", out.data(), 128), 0);
    EXPECT_EQ(out[0], '#');
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T129", out.data(), 129), 1);

    // 259 characters fill the 260-byte read with their terminator; 260 never fit.
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T259", out.data(), 260), 1);
    EXPECT_EQ(strlen(out.data()), 259u);
    out.assign(300, '#');
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T260", out.data(), 299), 0);
    EXPECT_EQ(out[0], '#');

    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "Missing", out.data(), 260), 0);
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "T128", NULL, 260), 0);
}

TEST_F(RegistryTest, StringWithoutTerminatorWithinTheReadIsRefused)
{
    std::string full(260, 'x');
    Set("Unterminated", REG_BINARY, full.data(), 260);
    Set("Short", REG_BINARY, "abc", 3); // the zeroed read buffer ends it
    std::vector<char> out(300, '#');
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "Unterminated", out.data(), 299), 0);
    EXPECT_EQ(utl_ReadRegString(HKEY_LOCAL_MACHINE, kKey, "Short", out.data(), 10), 1);
    EXPECT_STREQ(out.data(), "abc");
}

class IniTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        ini = In("test.ini");
    }
    std::string ini;
};

TEST_F(IniTest, ReadCutsAt127CharactersAndPadsWithZeros)
{
    std::string longValue(200, 'v');
    longValue[126] = 'L'; // the last character that comes back
    ASSERT_TRUE(WriteWholeFile(ini, "[S]\r\nLong=" + longValue + "\r\nShort=hi\r\nEmpty=\r\n"));

    std::vector<char> out(261, '#');
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", "Long", out.data(), 261), 127u);
    EXPECT_EQ(std::string(out.data()), longValue.substr(0, 127));
    for (size_t i = 127; i < out.size(); ++i)
        ASSERT_EQ(out[i], '\0') << i;

    out.assign(261, '#');
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", "Short", out.data(), 129), 2u);
    EXPECT_STREQ(out.data(), "hi");
    EXPECT_EQ(out[128], '\0');
    EXPECT_EQ(out[129], '#') << "padded to outSize, not beyond";
}

TEST_F(IniTest, ReadLeavesTheBufferAloneWhenNothingIsRead)
{
    ASSERT_TRUE(WriteWholeFile(ini, "[S]\r\nKey=value\r\nEmpty=\r\n"));
    std::vector<char> out(261, '#');
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", "Key", out.data(), 128), 0u) << "outSize 128";
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", "Missing", out.data(), 261), 0u);
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", "Empty", out.data(), 261), 0u);
    EXPECT_EQ(utl_ReadIniString(ini.c_str(), "S", NULL, out.data(), 261), 0u);
    EXPECT_EQ(utl_ReadIniString(NULL, "S", "Key", out.data(), 261), 0u);
    EXPECT_EQ(out, std::vector<char>(261, '#'));
}

TEST_F(IniTest, WritersProduceWhatTheProfileReaderSees)
{
    EXPECT_TRUE(utl_WriteIniString("Main", "Name", "Kelvo", ini.c_str()));
    EXPECT_TRUE(utl_WriteIniInt("Main", "Count", -42, ini.c_str()));
    EXPECT_TRUE(utl_WriteSupportedConnTypes("Net", 7, ini.c_str()));
    EXPECT_TRUE(utl_WriteComponents(4294967295u, 17, ini.c_str()));

    char sz[64];
    GetPrivateProfileStringA("Main", "Name", "", sz, sizeof sz, ini.c_str());
    EXPECT_STREQ(sz, "Kelvo");
    GetPrivateProfileStringA("Main", "Count", "", sz, sizeof sz, ini.c_str());
    EXPECT_STREQ(sz, "-42");
    GetPrivateProfileStringA("Net", "SupportedConnTypes", "", sz, sizeof sz, ini.c_str());
    EXPECT_STREQ(sz, "7");
    GetPrivateProfileStringA("Components", "ProtoComponents", "", sz, sizeof sz, ini.c_str());
    EXPECT_STREQ(sz, "4294967295");
    GetPrivateProfileStringA("Components", "FuncComponents", "", sz, sizeof sz, ini.c_str());
    EXPECT_STREQ(sz, "17");
}

TEST_F(IniTest, ComponentsStopAfterAFailedFirstWrite)
{
    std::string missingDir = ini.substr(0, ini.rfind('\\')) + "\\no-such-dir\\test.ini";
    EXPECT_FALSE(utl_WriteComponents(1, 2, missingDir.c_str()));
    EXPECT_FALSE(utl_WriteIniInt("S", "K", 1, missingDir.c_str()));
}

} // namespace
