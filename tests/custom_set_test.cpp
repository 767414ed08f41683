// The customisation-set version read from the verified pair beside the
// running program: here this test program, so the pair is laid out in
// build/bin and removed again. A version, once read, is kept for the life of
// the process, so the whole story runs in one test and one process: every
// flaw of the pair gives neither version nor display name, the next call
// after the pair is fixed reads it, and from then on it stays.
// (setuptool_custom_test runs a fresh process for each flaw.)
#include "custom_set.h"
#include "test_env.h"
#include "vrf.h"

#include <gtest/gtest.h>

namespace
{

class CustomSetBesideProgram : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        Remove();
    }
    void TearDown() override
    {
        Remove();
    }
    void Remove()
    {
        DeleteFileA(ini.c_str());
        DeleteFileA(vrf.c_str());
    }
    void WriteIni(const std::string& text)
    {
        ASSERT_TRUE(WriteWholeFile(ini, text));
    }
    void Seal()
    {
        int nError = 0;
        ASSERT_EQ(VrfWrite(ini.c_str(), vrf.c_str(), &nError), 1) << nError;
    }
    void WritePair(const std::string& version)
    {
        WriteIni("[Common]\r\nVersion=" + version + "\r\n");
        Seal();
    }
    // Both operations give nothing, twice: a flaw is never kept.
    void ExpectNone(const char* pszWhy)
    {
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(GetCustomSetVersion(), nullptr) << pszWhy;
            EXPECT_EQ(GetCustomSetDisplayName(), nullptr) << pszWhy;
        }
    }
    const std::string ini = BinPath("KelvoCustomSet.ini");
    const std::string vrf = BinPath("KelvoCustomSet.vrf");
};

TEST_F(CustomSetBesideProgram, FlawsGiveNothingUntilTheFixedPairIsReadAndKept)
{
    ExpectNone("no pair at all");
    WriteIni("[Common]\r\nVersion=A1.2B-3456C\r\n");
    ExpectNone("no .vrf file");
    Seal();
    WriteIni("[Common]\r\nVersion=A1.2B-3456D\r\n");
    ExpectNone("the INI file edited after sealing");
    WritePair("A1.2B-345C");
    ExpectNone("10 characters");
    // The 12-character text must not pass as its first 11, A1.2B-3456C.
    WritePair("A1.2B-3456CD");
    ExpectNone("12 characters");
    WritePair("A1.2B03456C");
    ExpectNone("11 characters without a dash");
    WriteIni("[Other]\r\nVersion=A1.2B-3456C\r\n");
    Seal();
    ExpectNone("the version in another section");

    WritePair("A1.2B-3456C");
    const char* pszVersion = GetCustomSetVersion();
    ASSERT_NE(pszVersion, nullptr);
    EXPECT_STREQ(pszVersion, "A1.2B-3456C");
    const char* pszName = GetCustomSetDisplayName();
    ASSERT_NE(pszName, nullptr);
    EXPECT_STREQ(pszName, "Kelvo PC 1.2 (C3456)");

    // Read once per process: another pair, or none, changes nothing now.
    WritePair("V9.8R-7654Z");
    EXPECT_EQ(GetCustomSetVersion(), pszVersion);
    EXPECT_STREQ(GetCustomSetVersion(), "A1.2B-3456C");
    Remove();
    EXPECT_STREQ(GetCustomSetVersion(), "A1.2B-3456C");
    EXPECT_STREQ(GetCustomSetDisplayName(), "Kelvo PC 1.2 (C3456)");
}

} // namespace
