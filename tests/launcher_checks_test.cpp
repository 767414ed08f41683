// The launcher's start-up checks, called directly where the end-to-end run
// cannot reach them under Wine (a small disk, a missing API).
#include "start_checks.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <regex>

namespace
{

const long long kMB = 1048576;

TEST(FreeSpace, FiftyMegabytesIsTheInclusiveThreshold)
{
    struct {
        long long llBytes;
        int bEnough;
    } const kCases[] = {
        {50 * kMB, 1},  {50 * kMB - 1, 0}, {49 * kMB, 0},
        {0, 0},         {-1, 1}, // a query that failed lets the install go on
        {4LL << 30, 1}, {1LL << 40, 1},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(FreeSpaceIsEnough(c.llBytes), c.bEnough) << c.llBytes;
}

TEST(FreeSpace, LegacyProductDoesNotWrapAtFourGigabytes)
{
    // 8 sectors of 512 bytes, 1M free clusters: exactly 4 GiB.
    EXPECT_EQ(LegacyFreeBytes(8, 512, 1048576), 4LL << 30);
    EXPECT_EQ(LegacyFreeBytes(64, 4096, 0xFFFFFFFF), 64LL * 4096 * 0xFFFFFFFFLL);
    EXPECT_EQ(LegacyFreeBytes(8, 512, 12800), 50 * kMB);
}

TEST(FreeSpace, DriveCIsMeasuredAndLogged)
{
    ULARGE_INTEGER avail, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &avail, &total, &totalFree));
    long long llMeasured = GetDiskFreeBytes("C:");
    // The disk is shared with other work; allow it to move a little.
    EXPECT_NEAR((double)llMeasured, (double)avail.QuadPart, 256.0 * kMB);
    EXPECT_EQ(GetDiskFreeBytes("Q:\\no\\such\\drive"), -1);

    RemoveLogDir();
    EXPECT_EQ(CheckFreeSpace(), 1);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(TodaySetupLogPath(), &data));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(data, m, std::regex("\\] The C free space is (\\d+)M\\.\r\n")))
        << data;
    EXPECT_NEAR(std::stod(m[1]), (double)(avail.QuadPart / kMB), 256.0);
}

TEST(Administrator, WineTokenListsTheAdministratorsGroup)
{
    // Wine's token always carries S-1-5-32-544; a limited user cannot be
    // made here, so the refusal itself is only seen on Windows.
    EXPECT_EQ(IsAdministrator(), 1);
}

TEST(RefusalTexts, EnglishAndChineseTextsAreTheShippedBytes)
{
    const LANGID kEnglishUs = 1033, kChinesePrc = 2052, kChineseTaiwan = 1028;
    EXPECT_STREQ(RefusalCaption(kEnglishUs, LAUNCHER_SETUP), "Kelvo Setup");
    EXPECT_STREQ(RefusalCaption(kChineseTaiwan, LAUNCHER_SETUP), "Kelvo Setup");
    EXPECT_STREQ(RefusalText(REFUSE_ANOTHER_INSTANCE, kEnglishUs, LAUNCHER_SETUP),
                 "A previous instance is still running. \nPlease try it later.");
    EXPECT_STREQ(RefusalText(REFUSE_NOT_ADMIN, kChineseTaiwan, LAUNCHER_SETUP),
                 "You do not have administrative privileges on this computer, the program can "
                 "not be installed!");
    EXPECT_STREQ(RefusalText(REFUSE_LOW_DISK_SPACE, kEnglishUs, LAUNCHER_SETUP),
                 "The disk C must have at least 50M free space to finish the setup.");
    EXPECT_STREQ(RefusalText(REFUSE_UPDATE_TOOL_RUNNING, kEnglishUs, LAUNCHER_SETUP),
                 RefusalText(REFUSE_ANOTHER_INSTANCE, kEnglishUs, LAUNCHER_SETUP));

    // GBK bytes, as iconv -t GBK gives them.
    EXPECT_EQ(ToHex(RefusalCaption(kChinesePrc, LAUNCHER_SETUP)),
              "b0b2d7b04b656c766fd6c7c4dcbfcdbba7b6cb");
    EXPECT_EQ(ToHex(RefusalText(REFUSE_ANOTHER_INSTANCE, kChinesePrc, LAUNCHER_SETUP)),
              "d3d0d5fdd4dad4cbd0d0b5c4bfcdbba7b6cbb0b2d7b0b3ccd0f2a3acc7ebc9d4baf2d4d9cad4a1a3");
    EXPECT_EQ(ToHex(RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_SETUP)),
              "c4fac3bbd3d0b9dcc0edd4b1c8a8cfdea3accedeb7a8bdf8d0d0b0b2d7b0b2d9d7f7a3a1");
    EXPECT_EQ(ToHex(RefusalText(REFUSE_LOW_DISK_SPACE, kChinesePrc, LAUNCHER_SETUP)),
              "43c5ccbfd5bce4b2bbd7e3a3acb0b2d7b0d2aac7f343c5ccb1d8d0ebd3d035304dd2d4c9cfb5c4bfd5bc"
              "e4a1a3");
    EXPECT_EQ(ToHex(RefusalText(REFUSE_UPDATE_TOOL_RUNNING, kChinesePrc, LAUNCHER_SETUP)),
              "bfcdbba7b6cbd5fdd4dac9fdbcb6b6a8d6c6d0c5cfa2a3acc7ebc9d4baf3d4d9cad4a1a3");

    // The lite launcher: its own first Chinese text and Chinese caption, the
    // rest shared.
    EXPECT_STREQ(RefusalCaption(kEnglishUs, LAUNCHER_LITE), "Kelvo Setup");
    EXPECT_EQ(ToHex(RefusalCaption(kChinesePrc, LAUNCHER_LITE)),
              "b0b2d7b0204b656c766f20d6c7c4dcbfcdbba7b6cb");
    EXPECT_EQ(ToHex(RefusalText(REFUSE_ANOTHER_INSTANCE, kChinesePrc, LAUNCHER_LITE)),
              "b4cbc7b0d4cbd0d0b5c4b3ccd0f2cab5c0fdbbb9c3bbd3d0cdeac8abcdcbb3f6a3acc7ebc9d4baf2d4d9"
              "cad4a1a3");
    EXPECT_STREQ(RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_LITE),
                 RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_SETUP));
    EXPECT_STREQ(RefusalText(REFUSE_ANOTHER_INSTANCE, kEnglishUs, LAUNCHER_LITE),
                 RefusalText(REFUSE_ANOTHER_INSTANCE, kEnglishUs, LAUNCHER_SETUP));
}

TEST(DllSearch, APlantedDllBesideTheProgramIsNoLongerLoaded)
{
    // kelvo_planted.dll is built into the programs' own directory.
    HMODULE hPlanted = LoadLibraryA("kelvo_planted.dll");
    ASSERT_NE(hPlanted, nullptr) << "the planted DLL must load before the restriction";
    FreeLibrary(hPlanted);

    RestrictDllSearch();
    EXPECT_EQ(LoadLibraryA("kelvo_planted.dll"), nullptr);
    HMODULE hVersion = LoadLibraryA("version.dll");
    EXPECT_NE(hVersion, nullptr) << "system libraries still load";
    if (hVersion)
        FreeLibrary(hVersion);
}

} // namespace
