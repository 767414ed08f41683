// The launcher's start-up checks, called directly where the end-to-end run
// cannot reach them under Wine (a small disk, a missing API).
#include "start_checks.h"
#include "chinese_system.h"
#include "english_texts.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <algorithm>
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
    std::string data = ReadOr(TodaySetupLogPath());
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

// Chinese (PRC) gets the Chinese texts, compiled to GBK; other languages
// the English ones. The lite launcher has its own first Chinese text and
// Chinese caption, and shares the rest.
TEST(RefusalTexts, ChinesePrcGetsTheGbkTextsOthersTheEnglish)
{
    const LANGID kEnglishUs = 1033, kChinesePrc = 2052, kChineseTaiwan = 1028;
    for (LANGID wLang : {kEnglishUs, kChineseTaiwan}) {
        for (LauncherKind eLauncher : {LAUNCHER_SETUP, LAUNCHER_LITE}) {
            SCOPED_TRACE(testing::Message() << wLang << " " << (int)eLauncher);
            EXPECT_STREQ(RefusalCaption(wLang, eLauncher), kEnglishCaption);
            EXPECT_STREQ(RefusalText(REFUSE_ANOTHER_INSTANCE, wLang, eLauncher),
                         kEnglishAnotherInstance);
            EXPECT_STREQ(RefusalText(REFUSE_NOT_ADMIN, wLang, eLauncher), kEnglishNotAdmin);
            EXPECT_STREQ(RefusalText(REFUSE_LOW_DISK_SPACE, wLang, eLauncher),
                         kEnglishLowDiskSpace);
        }
    }
    EXPECT_STREQ(RefusalText(REFUSE_UPDATE_TOOL_RUNNING, kEnglishUs, LAUNCHER_SETUP),
                 kEnglishUpdateToolRunning);
    // The English texts read alike in every code page.
    for (Refusal eWhy : {REFUSE_ANOTHER_INSTANCE, REFUSE_NOT_ADMIN, REFUSE_LOW_DISK_SPACE}) {
        std::string text = std::string(RefusalCaption(kEnglishUs, LAUNCHER_SETUP)) +
                           RefusalText(eWhy, kEnglishUs, LAUNCHER_SETUP);
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c > 0; })) << text;
    }

    EXPECT_EQ(ToHex(RefusalCaption(kChinesePrc, LAUNCHER_SETUP)), kGbkSetupCaption);
    EXPECT_EQ(ToHex(RefusalCaption(kChinesePrc, LAUNCHER_LITE)), kGbkLiteCaption);
    EXPECT_EQ(ToHex(RefusalText(REFUSE_ANOTHER_INSTANCE, kChinesePrc, LAUNCHER_SETUP)),
              kGbkAnotherInstance);
    EXPECT_EQ(ToHex(RefusalText(REFUSE_ANOTHER_INSTANCE, kChinesePrc, LAUNCHER_LITE)),
              kGbkLiteAnotherInstance);
    EXPECT_EQ(ToHex(RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_SETUP)), kGbkNotAdmin);
    EXPECT_EQ(ToHex(RefusalText(REFUSE_LOW_DISK_SPACE, kChinesePrc, LAUNCHER_SETUP)),
              kGbkLowDiskSpace);
    EXPECT_EQ(ToHex(RefusalText(REFUSE_UPDATE_TOOL_RUNNING, kChinesePrc, LAUNCHER_SETUP)),
              kGbkUpdateToolRunning);
    EXPECT_STREQ(RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_LITE),
                 RefusalText(REFUSE_NOT_ADMIN, kChinesePrc, LAUNCHER_SETUP));
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
