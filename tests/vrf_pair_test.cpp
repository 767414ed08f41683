// Verified INI pairs on real files in the prefix: what the writers leave on
// disk, what makes a pair stop verifying, the size limits and the icon
// option. The digest layout is recomputed here from its parts, so the file
// format itself is checked, not only that writer and verifier agree.
#include "md5.h"
#include "test_dir.h"
#include "vrf.h"
#include "vrf_salt.h"

#include <gtest/gtest.h>
#include <set>

namespace
{

const char kIniText[] = "[LogoOptions]\r\nCustomIcon=0\r\n"
                        "[Uninstall]\r\nUninstall=1\r\nUninstallPwd=jj16P9gMYdA=\r\n";

std::string Salt()
{
    uint8_t ab[VRF_SALT_CAPACITY];
    EXPECT_EQ(BuildPairSalt(ab), 1);
    return std::string((const char*)ab, VRF_SALT_SIZE);
}

std::string DefaultIconBlock()
{
    return std::string("\xff") + std::string(31, '\0');
}

std::string Md5(const std::string& data)
{
    uint8_t ab[16];
    md5_digest(ab, data.data(), data.size());
    return std::string((const char*)ab, sizeof ab);
}

class VrfPairTest : public TestDirFixture
{
  protected:
    // Writes the customisation pair; nError must stay untouched on success.
    void WriteCustomPair(const std::string& ini)
    {
        Write("KelvoCustom.ini", ini);
        int nError = -7;
        ASSERT_EQ(CusVrfWrite(&nError, dir.c_str()), 1);
        ASSERT_EQ(nError, -7);
    }
    int CustomWriteError()
    {
        int nError = -7;
        EXPECT_EQ(CusVrfWrite(&nError, dir.c_str()), 0);
        return nError;
    }
    int GenericWriteError(const char* pszIni, const char* pszVrf)
    {
        int nError = -7;
        EXPECT_EQ(VrfWrite(In(pszIni).c_str(), In(pszVrf).c_str(), &nError), 0);
        return nError;
    }
    bool CustomVerifies(int bIcon = 0)
    {
        return CusIniVerify(dir.c_str(), bIcon) == 1;
    }
};

TEST_F(VrfPairTest, LayoutIsNonceThenDigestOfIniNonceIconBlockAndSalt)
{
    WriteCustomPair(kIniText);
    std::string vrf = Read("KelvoCustom.vrf");
    ASSERT_EQ(vrf.size(), 256u);
    std::string nonce = vrf.substr(0, 240);
    EXPECT_EQ(vrf.substr(240), Md5(kIniText + nonce + DefaultIconBlock() + Salt()));
    EXPECT_TRUE(CustomVerifies());

    // The generic kind digests no icon block.
    int nError = -7;
    ASSERT_EQ(VrfWrite(In("KelvoCustom.ini").c_str(), In("Set.vrf").c_str(), &nError), 1);
    EXPECT_EQ(nError, -7);
    std::string generic = Read("Set.vrf");
    ASSERT_EQ(generic.size(), 256u);
    EXPECT_EQ(generic.substr(240), Md5(kIniText + generic.substr(0, 240) + Salt()));
}

TEST_F(VrfPairTest, UninstallPairDigestsLikeTheCustomisationPair)
{
    Write("KelvoUninstallInfo.ini", kIniText);
    int nError = -7;
    ASSERT_EQ(UninstallVrfWrite(&nError, dir.c_str()), 1);
    EXPECT_EQ(nError, -7);
    EXPECT_EQ(UninstallIniVerify(dir.c_str()), 1);

    // Same bytes, same digest: a .vrf copied across verifies; any other INI does not.
    Write("KelvoCustom.ini", kIniText);
    Write("KelvoCustom.vrf", Read("KelvoUninstallInfo.vrf"));
    EXPECT_TRUE(CustomVerifies());
    Write("KelvoCustom.ini", std::string(kIniText) + ";");
    EXPECT_FALSE(CustomVerifies());
}

TEST_F(VrfPairTest, OneChangedAddedOrRemovedByteFails)
{
    const std::string ini = kIniText;
    std::string changed = ini, added = ini + " ", removed = ini.substr(0, ini.size() - 1);
    changed[20] ^= 0x01;
    std::string lfOnly = ini;
    lfOnly.erase(lfOnly.find("\r\n"), 1); // one line end loses its CR
    std::string leading = "\n" + ini;

    WriteCustomPair(ini);
    for (const std::string& edited : {changed, added, removed, lfOnly, leading}) {
        Write("KelvoCustom.ini", edited);
        EXPECT_FALSE(CustomVerifies()) << ToHex(edited);
    }
    Write("KelvoCustom.ini", ini);
    EXPECT_TRUE(CustomVerifies());
}

TEST_F(VrfPairTest, VrfOfAnyOtherSizeFails)
{
    WriteCustomPair(kIniText);
    std::string vrf = Read("KelvoCustom.vrf");
    Write("KelvoCustom.vrf", vrf.substr(0, 255));
    EXPECT_FALSE(CustomVerifies());
    Write("KelvoCustom.vrf", vrf + '\0'); // the first 256 bytes are right
    EXPECT_FALSE(CustomVerifies());
    Write("KelvoCustom.vrf", "");
    EXPECT_FALSE(CustomVerifies());
    Write("KelvoCustom.vrf", vrf);
    EXPECT_TRUE(CustomVerifies());
}

TEST_F(VrfPairTest, ReadOnlyVrfIsReplaced)
{
    WriteCustomPair(kIniText);
    std::string before = Read("KelvoCustom.vrf");
    ASSERT_TRUE(SetFileAttributesA(In("KelvoCustom.vrf").c_str(),
                                   FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    WriteCustomPair(kIniText);
    EXPECT_NE(Read("KelvoCustom.vrf"), before);
    EXPECT_EQ(GetFileAttributesA(In("KelvoCustom.vrf").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              0u);
    EXPECT_TRUE(CustomVerifies());
}

TEST_F(VrfPairTest, RewritesDifferAllVerifyAndNoNonceByteIs0xFF)
{
    Write("KelvoCustom.ini", kIniText);
    std::set<std::string> seen;
    std::vector<std::string> written;
    for (int i = 0; i < 24; ++i) {
        WriteCustomPair(kIniText);
        std::string vrf = Read("KelvoCustom.vrf");
        EXPECT_EQ(vrf.substr(0, 240).find('\xff'), std::string::npos) << ToHex(vrf);
        EXPECT_TRUE(seen.insert(vrf).second) << "two writes gave the same file";
        written.push_back(vrf);
    }
    // 24 x 240 bytes: a byte drawn from 0..255 would have shown 0xFF.
    Write("KelvoCustom.vrf", written.front());
    EXPECT_TRUE(CustomVerifies()) << "an earlier write of the same INI still verifies";
}

TEST_F(VrfPairTest, SizeLimitsOfTheKinds)
{
    WriteCustomPair(std::string(7820, 'a'));
    EXPECT_TRUE(CustomVerifies());
    Write("KelvoCustom.ini", std::string(7821, 'a'));
    EXPECT_EQ(CustomWriteError(), VRF_ERR_INI_LARGE);
    EXPECT_FALSE(CustomVerifies());

    Write("Set.ini", std::string(7852, 'b'));
    int nError = -7;
    ASSERT_EQ(VrfWrite(In("Set.ini").c_str(), In("Set.vrf").c_str(), &nError), 1);
    EXPECT_EQ(IniVerify(In("Set.ini").c_str(), In("Set.vrf").c_str()), 1);
    Write("Set.ini", std::string(7853, 'b'));
    EXPECT_EQ(GenericWriteError("Set.ini", "Set2.vrf"), VRF_ERR_INI_LARGE);
    EXPECT_EQ(IniVerify(In("Set.ini").c_str(), In("Set.vrf").c_str()), 0);

    WriteCustomPair(""); // an empty INI file is a pair like any other
    EXPECT_TRUE(CustomVerifies());
}

TEST_F(VrfPairTest, GenericPairIsNoCustomisationPair)
{
    Write("KelvoCustom.ini", kIniText);
    int nError = 0;
    ASSERT_EQ(VrfWrite(In("KelvoCustom.ini").c_str(), In("KelvoCustom.vrf").c_str(), &nError), 1);
    EXPECT_EQ(IniVerify(In("KelvoCustom.ini").c_str(), In("KelvoCustom.vrf").c_str()), 1);
    EXPECT_FALSE(CustomVerifies());

    WriteCustomPair(kIniText);
    EXPECT_EQ(IniVerify(In("KelvoCustom.ini").c_str(), In("KelvoCustom.vrf").c_str()), 0);
}

TEST_F(VrfPairTest, MissingFiles)
{
    EXPECT_EQ(CustomWriteError(), VRF_ERR_INI_SIZE);
    EXPECT_FALSE(CustomVerifies());
    EXPECT_EQ(GenericWriteError("none.ini", "none.vrf"), VRF_ERR_INI_SIZE);

    WriteCustomPair(kIniText);
    ASSERT_TRUE(DeleteFileA(In("KelvoCustom.vrf").c_str()));
    EXPECT_FALSE(CustomVerifies());
    EXPECT_EQ(IniVerify(In("KelvoCustom.ini").c_str(), In("KelvoCustom.vrf").c_str()), 0);
    EXPECT_EQ(CusIniVerify(NULL, 0), 0);
    EXPECT_EQ(UninstallIniVerify(dir.c_str()), 0);
}

TEST_F(VrfPairTest, VrfPathThatIsADirectoryCannotBeCreated)
{
    Write("Set.ini", kIniText);
    ASSERT_TRUE(CreateDirectoryA(In("Set.vrf").c_str(), NULL));
    EXPECT_EQ(GenericWriteError("Set.ini", "Set.vrf"), VRF_ERR_CREATE);
}

TEST_F(VrfPairTest, IniHeldOpenExclusivelyCannotBeRead)
{
    Write("KelvoCustom.ini", kIniText);
    HANDLE hLock = CreateFileA(In("KelvoCustom.ini").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hLock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CustomWriteError(), VRF_ERR_INI_OPEN);
    CloseHandle(hLock);
    EXPECT_EQ(GetFileAttributesA(In("KelvoCustom.vrf").c_str()), INVALID_FILE_ATTRIBUTES)
        << "nothing is written when the INI file cannot be read";
}

std::string IconFile(size_t cb)
{
    std::string icon;
    for (size_t i = 0; i < cb; ++i)
        icon += (char)(i * 13 + 1);
    return icon;
}

TEST_F(VrfPairTest, IconOptionTakesTheIconFilesBytes)
{
    const std::string ini =
        "[LogoOptions]\r\nCustomIcon=1\r\nCusIconName=logo.ico\r\n[OtherOptions]\r\n";
    WriteCustomPair(ini);
    Write("logo.ico", IconFile(544));
    EXPECT_TRUE(CustomVerifies(0)) << "without the option the fixed block is digested";
    EXPECT_FALSE(CustomVerifies(1));

    Write("logo.ico", IconFile(543));
    EXPECT_TRUE(CustomVerifies(1)) << "a small icon file does not count";
    DeleteFileA(In("logo.ico").c_str());
    EXPECT_TRUE(CustomVerifies(1)) << "nor a missing one";

    // A pair digested with the icon's bytes 512 to 543 verifies with the option.
    Write("logo.ico", IconFile(600));
    std::string vrf = Read("KelvoCustom.vrf");
    std::string nonce = vrf.substr(0, 240);
    Write("KelvoCustom.vrf", nonce + Md5(ini + nonce + IconFile(600).substr(512, 32) + Salt()));
    EXPECT_TRUE(CustomVerifies(1));
    EXPECT_FALSE(CustomVerifies(0));
}

TEST_F(VrfPairTest, IconOptionNeedsCustomIconSet)
{
    WriteCustomPair("[LogoOptions]\r\nCustomIcon=0\r\nCusIconName=logo.ico\r\n");
    Write("logo.ico", IconFile(544));
    EXPECT_TRUE(CustomVerifies(1));
}

TEST_F(VrfPairTest, ReadIconBlockQualifiesTheFile)
{
    uint8_t ab[32];
    memset(ab, 0xcc, sizeof ab);
    Write("small.ico", IconFile(543));
    EXPECT_EQ(ReadIconBlock(In("small.ico").c_str(), ab), 0);
    EXPECT_EQ(ReadIconBlock(In("missing.ico").c_str(), ab), 0);
    ASSERT_TRUE(CreateDirectoryA(In("dir.ico").c_str(), NULL));
    EXPECT_EQ(ReadIconBlock(In("dir.ico").c_str(), ab), 0);
    EXPECT_EQ(std::string((const char*)ab, 32), std::string(32, '\xcc'));

    Write("logo.ico", IconFile(544));
    EXPECT_EQ(ReadIconBlock(In("logo.ico").c_str(), ab), 1);
    EXPECT_EQ(std::string((const char*)ab, 32), IconFile(544).substr(512));
}

TEST_F(VrfPairTest, ReadCusOptions)
{
    CusOptions opt;
    memset(&opt, 0, sizeof opt);
    strcpy(opt.cusIconName, "kept");
    EXPECT_EQ(ReadCusOptions(dir.c_str(), &opt), 0);

    Write("KelvoCustom.ini", "[LogoOptions]\r\nCustomIcon=1\r\n"
                             "[OtherOptions]\r\nSilentInstall=2\r\nSilentUpd=3\r\n");
    EXPECT_EQ(ReadCusOptions(dir.c_str(), &opt), 1);
    EXPECT_EQ(opt.customIcon, 1);
    EXPECT_EQ(opt.silentInstall, 2);
    EXPECT_EQ(opt.silentUpd, 3);
    EXPECT_STREQ(opt.cusIconName, "kept") << "an unset name leaves the field alone";

    Write("KelvoCustom.ini", "[LogoOptions]\r\nCusIconName=" + std::string(150, 'n') + "\r\n");
    EXPECT_EQ(ReadCusOptions(dir.c_str(), &opt), 1);
    EXPECT_EQ(opt.customIcon, 0);
    EXPECT_EQ(std::string(opt.cusIconName), std::string(127, 'n'));
}

TEST(VrfDefaultDirectory, WritersWithoutDirectoryUseCustomBesideTheProgram)
{
    std::string custom = BinPath("custom");
    CreateDirectoryA(custom.c_str(), NULL);
    ASSERT_TRUE(WriteWholeFile(custom + "\\KelvoUninstallInfo.ini", kIniText));
    int nError = 0;
    EXPECT_EQ(UninstallVrfWrite(&nError, NULL), 1);
    EXPECT_EQ(UninstallIniVerify(custom.c_str()), 1);
    DeleteFileA((custom + "\\KelvoUninstallInfo.ini").c_str());
    DeleteFileA((custom + "\\KelvoUninstallInfo.vrf").c_str());
    RemoveDirectoryA(custom.c_str());
}

// A pair written once and kept: the salt, the digest layout and the
// verifier must go on accepting it, as they must every .vrf in the field.
TEST(VrfGoldenPair, APairWrittenEarlierStillVerifies)
{
    std::string dir = FreshTestDir("VrfGoldenPair");
    // Written by "setuptool vrf write --custom" for kIniText.
    const char kVrfHex[] = "4a727daf007c397117982661b08729a4a4a21b17802b45c998064161be34308a"
                           "7825b9b67062169e19ccb377b95c81b7aebbc8366f7af19e8609997997e6c9af"
                           "b52b5978bf7de3c4c106471db6ad4112f20b45ba2deee545b1b8a9f71a5e6518"
                           "dffe509c800a9ea7c474680de5f17957e196943082a826a2f0b416ee94fa6008"
                           "229fcee69fb4d0e2c993b0c452698b0253503ea55e6b1ac07dcef99868f5c687"
                           "61d6071b454643a919e7d9e50f50849244fa7a20d90ebf1324f7f1324b4c04d2"
                           "ba52e9825602b363371ede1d76c7580ac72535e73836dfbbcb2303f5765ce926"
                           "001159ac022ceb171d38046284b4387aa7a0b7773765c346e9375433f32bc094";
    std::string vrf;
    ASSERT_TRUE(FromHex(kVrfHex, &vrf));
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoCustom.ini", kIniText));
    ASSERT_TRUE(WriteWholeFile(dir + "\\KelvoCustom.vrf", vrf));
    EXPECT_EQ(CusIniVerify(dir.c_str(), 0), 1);
}

} // namespace
