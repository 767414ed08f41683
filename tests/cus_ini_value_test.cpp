// The safe change of one customisation value, on real files in the prefix:
// what each result leaves on disk.
#include "cus_ini_value.h"
#include "test_dir.h"
#include "vrf.h"

#include <gtest/gtest.h>

namespace
{

const char kIni[] = "[OtherOptions]\r\nSilentInstall=0\r\nSilentUpd=1\r\n"
                    "[Branding]\r\nTitle=Kelvo\r\n";

class CusIniValueTest : public TestDirFixture
{
  protected:
    void WritePair(const std::string& ini)
    {
        Write("KelvoCustom.ini", ini);
        int nError = 0;
        ASSERT_EQ(CusVrfWrite(&nError, dir.c_str()), 1) << nError;
    }
    // A pair whose INI file was edited by hand after it was sealed.
    void WriteEditedPair()
    {
        WritePair(kIni);
        Write("KelvoCustom.ini", std::string(kIni) + "Edited=1\r\n");
        ASSERT_FALSE(Verifies());
    }
    int Set(const char* pszSection, const char* pszKey, const char* pszValue) const
    {
        return SetCusIniValue(dir.c_str(), pszSection, pszKey, pszValue);
    }
    // Another program holds the INI file open for reading and lets it be
    // renamed but not written; Windows and Wine both refuse the write then.
    int SetWhileHeld(const char* pszSection, const char* pszKey, const char* pszValue) const
    {
        HANDLE hHeld = CreateFileA(In("KelvoCustom.ini").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, NULL);
        EXPECT_NE(hHeld, INVALID_HANDLE_VALUE);
        int nResult = Set(pszSection, pszKey, pszValue);
        CloseHandle(hHeld);
        return nResult;
    }
    std::string Value(const char* pszSection, const char* pszKey) const
    {
        char sz[512] = "";
        GetPrivateProfileStringA(pszSection, pszKey, "<missing>", sz, sizeof sz,
                                 In("KelvoCustom.ini").c_str());
        return sz;
    }
    bool Verifies() const
    {
        return CusIniVerify(dir.c_str(), 0) == 1;
    }
    bool Exists(const char* pszName) const
    {
        return GetFileAttributesA(In(pszName).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(CusIniValueTest, ChangedValueIsWrittenAndThePairVerifies)
{
    WritePair(kIni);
    std::string vrfBefore = Read("KelvoCustom.vrf");
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", "1"), CUSINI_OK);
    EXPECT_EQ(Value("OtherOptions", "SilentInstall"), "1");
    EXPECT_TRUE(Verifies());
    EXPECT_NE(Read("KelvoCustom.vrf"), vrfBefore);
    EXPECT_EQ(Value("OtherOptions", "SilentUpd"), "1");
    EXPECT_EQ(Value("Branding", "Title"), "Kelvo");

    // Case matters: "KELVO" is another text, not the one already there.
    EXPECT_EQ(Set("Branding", "Title", "KELVO"), CUSINI_OK);
    EXPECT_EQ(Value("Branding", "Title"), "KELVO");
    // A key and a section that were not there yet.
    EXPECT_EQ(Set("Support", "Phone", "400 800 8000"), CUSINI_OK);
    EXPECT_EQ(Value("Support", "Phone"), "400 800 8000");
    EXPECT_TRUE(Verifies());
}

TEST_F(CusIniValueTest, UnchangedTextReturns0WithoutTouchingAnything)
{
    WriteEditedPair();
    std::string ini = Read("KelvoCustom.ini"), vrf = Read("KelvoCustom.vrf");
    EXPECT_EQ(Set("OtherOptions", "SilentUpd", "1"), CUSINI_OK);
    // A missing key reads as empty text, so setting it to "" changes nothing.
    EXPECT_EQ(Set("Support", "Phone", ""), CUSINI_OK);
    EXPECT_EQ(Read("KelvoCustom.ini"), ini);
    EXPECT_EQ(Read("KelvoCustom.vrf"), vrf);
    EXPECT_FALSE(Verifies()) << "an unchanged value seals nothing";
}

TEST_F(CusIniValueTest, HandEditedPairIsRefusedWith1002AndNothingChanges)
{
    WriteEditedPair();
    std::string ini = Read("KelvoCustom.ini"), vrf = Read("KelvoCustom.vrf");
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_NOT_VERIFIED);
    EXPECT_EQ(Read("KelvoCustom.ini"), ini);
    EXPECT_EQ(Read("KelvoCustom.vrf"), vrf);

    ASSERT_TRUE(DeleteFileA(In("KelvoCustom.vrf").c_str()));
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_NOT_VERIFIED);
    EXPECT_EQ(Read("KelvoCustom.ini"), ini);
    EXPECT_FALSE(Exists("KelvoCustom.vrf"));
}

TEST_F(CusIniValueTest, DirectoryWithoutTheIniFileGives1001)
{
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_NO_INI);
    EXPECT_EQ(SetCusIniValue((dir + "\\missing").c_str(), "S", "K", "V"), CUSINI_ERR_NO_INI);
    EXPECT_EQ(SetCusIniValue(NULL, "S", "K", "V"), CUSINI_ERR_NO_INI);
    ASSERT_TRUE(CreateDirectoryA(In("KelvoCustom.ini").c_str(), NULL));
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_NO_INI)
        << "a directory of that name is no INI file";
    EXPECT_FALSE(Exists("KelvoCustom.vrf"));
}

// The profile functions would delete the key or the whole section, or with
// an empty section or key write a line no section or key holds.
TEST_F(CusIniValueTest, MissingSectionKeyOrValueIsRefused)
{
    WritePair(kIni);
    std::string ini = Read("KelvoCustom.ini"), vrf = Read("KelvoCustom.vrf");
    EXPECT_EQ(Set("OtherOptions", "SilentInstall", NULL), CUSINI_ERR_NULL_ARG);
    EXPECT_EQ(Set("OtherOptions", NULL, "1"), CUSINI_ERR_NULL_ARG);
    EXPECT_EQ(Set(NULL, "SilentInstall", "1"), CUSINI_ERR_NULL_ARG);
    EXPECT_EQ(Set("", "SilentInstall", "1"), CUSINI_ERR_NULL_ARG);
    EXPECT_EQ(Set("OtherOptions", "", "1"), CUSINI_ERR_NULL_ARG);
    EXPECT_EQ(Read("KelvoCustom.ini"), ini);
    EXPECT_EQ(Read("KelvoCustom.vrf"), vrf);
}

// Only 127 characters of the current text are read; a longer text must not
// pass for the requested one when that is its beginning.
TEST_F(CusIniValueTest, LongerValueIsNotTakenForItsFirst127Characters)
{
    WritePair("[Branding]\r\nTitle=" + std::string(200, 'a') + "\r\n");
    const std::string first127(127, 'a');
    EXPECT_EQ(Set("Branding", "Title", first127.c_str()), CUSINI_OK);
    EXPECT_EQ(Value("Branding", "Title"), first127);
    EXPECT_TRUE(Verifies());
    // 127 characters that are there already are rewritten the same.
    EXPECT_EQ(Set("Branding", "Title", first127.c_str()), CUSINI_OK);
    EXPECT_TRUE(Verifies());
}

TEST_F(CusIniValueTest, IniThatCannotBeWrittenIsMovedAside)
{
    WritePair(kIni);
    std::string ini = Read("KelvoCustom.ini"), vrf = Read("KelvoCustom.vrf");
    EXPECT_EQ(SetWhileHeld("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_INI_WRITE);
    EXPECT_FALSE(Exists("KelvoCustom.ini"));
    EXPECT_EQ(Read("KelvoCustom.ini.lzj"), ini);
    EXPECT_EQ(Read("KelvoCustom.vrf"), vrf) << "the .vrf file is left as it was";
}

TEST_F(CusIniValueTest, MoveAsideNeverReplacesAnEarlierLzjFile)
{
    WritePair(kIni);
    std::string ini = Read("KelvoCustom.ini");
    Write("KelvoCustom.ini.lzj", "earlier");
    EXPECT_EQ(SetWhileHeld("OtherOptions", "SilentInstall", "1"), CUSINI_ERR_INI_WRITE);
    EXPECT_EQ(Read("KelvoCustom.ini"), ini);
    EXPECT_EQ(Read("KelvoCustom.ini.lzj"), "earlier");
    EXPECT_TRUE(Verifies());
}

// A read-only INI file cannot be written and is moved aside, read-only as
// it was. Wine keeps the read-only attribute as missing Unix write
// permission, which does not stop root: run as root under Wine the write
// would go through, so there the file is also held open by a reader that
// lets no one write (a share mode Wine honours), and the write is refused
// all the same. Windows refuses it for the attribute alone.
TEST_F(CusIniValueTest, ReadOnlyIniIsMovedAside)
{
    WritePair(kIni);
    std::string ini = Read("KelvoCustom.ini"), vrf = Read("KelvoCustom.vrf");
    ASSERT_TRUE(SetFileAttributesA(In("KelvoCustom.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    HANDLE hProbe = CreateFileA(In("KelvoCustom.ini").c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    bool bWritable = hProbe != INVALID_HANDLE_VALUE;
    if (bWritable)
        CloseHandle(hProbe);
    EXPECT_TRUE(!bWritable || RunningOnWine()) << "Windows lets a read-only file be written";

    int nResult = bWritable ? SetWhileHeld("OtherOptions", "SilentInstall", "1")
                            : Set("OtherOptions", "SilentInstall", "1");
    EXPECT_EQ(nResult, CUSINI_ERR_INI_WRITE);
    EXPECT_FALSE(Exists("KelvoCustom.ini"));
    DWORD dwAttributes = GetFileAttributesA(In("KelvoCustom.ini.lzj").c_str());
    ASSERT_NE(dwAttributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(dwAttributes & FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA(In("KelvoCustom.ini.lzj").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Read("KelvoCustom.ini.lzj"), ini);
    EXPECT_EQ(Read("KelvoCustom.vrf"), vrf) << "the .vrf file is left as it was";
}

// The value is written, but the INI file then exceeds what a customisation
// pair may hold: the writer's error number comes back and the pair is left
// unsealed, never sealed over a file that is not the one written.
TEST_F(CusIniValueTest, VerificationFileFailureAfterTheWriteGivesTheWritersNumber)
{
    std::string ini = "[Pad]\r\nFill=" + std::string(7790, 'p') + "\r\n";
    ASSERT_LE(ini.size(), (size_t)VRF_MAX_INI_SIZE);
    WritePair(ini);
    EXPECT_EQ(Set("Pad", "More", "0123456789012345678901234567890123456789"), VRF_ERR_INI_LARGE);
    EXPECT_EQ(Value("Pad", "More"), "0123456789012345678901234567890123456789");
    EXPECT_FALSE(Verifies());
}

} // namespace
