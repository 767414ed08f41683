// The Chinese (PRC) system of the zh_CN runs (kelvo_locale_test: under
// LANG=zh_CN.UTF-8 Wine reports system language 2052 and code page 936),
// and the launchers' Chinese captions and refusal texts as that code page
// (GBK) encodes them.
#pragma once

#include "hex.h"

#include <windows.h>
#include <gtest/gtest.h>
#include <string.h>
#include <string>

inline bool ChineseSystem()
{
    return GetSystemDefaultLangID() == 2052 && GetACP() == 936;
}

// A run registered for the Chinese system says so (KELVO_RUN_LOCALE=zh_CN).
inline bool ChineseRun()
{
    char sz[16] = "";
    DWORD cch = GetEnvironmentVariableA("KELVO_RUN_LOCALE", sz, sizeof sz);
    return cch > 0 && cch < sizeof sz && strcmp(sz, "zh_CN") == 0;
}

inline std::string SystemLocaleText()
{
    return "Wine reports language " + std::to_string(GetSystemDefaultLangID()) + ", code page " +
           std::to_string(GetACP()) + ", not 2052 and 936";
}

// In the Chinese run a system that is not Chinese is a failure: a skip or
// the other code page's expectations would pass having tested nothing.
#define ASSERT_CHINESE_SYSTEM_IN_CHINESE_RUN()                                                     \
    do {                                                                                           \
        if (ChineseRun()) {                                                                        \
            ASSERT_TRUE(ChineseSystem())                                                           \
                << "a run for the Chinese system: " << SystemLocaleText();                         \
        }                                                                                          \
    } while (0)

// Tests of the Chinese system skip themselves in other runs.
#define SKIP_UNLESS_CHINESE_SYSTEM()                                                               \
    do {                                                                                           \
        ASSERT_CHINESE_SYSTEM_IN_CHINESE_RUN();                                                    \
        if (!ChineseSystem())                                                                      \
            GTEST_SKIP() << "needs a Chinese (PRC) system: run with LANG=zh_CN.UTF-8";             \
    } while (0)

// The bytes of these hex texts.
inline std::string GbkBytes(const char* pszHex)
{
    std::string bytes;
    EXPECT_TRUE(FromHex(pszHex, &bytes)) << pszHex;
    return bytes;
}

// GBK bytes as hex, as iconv -t GBK gives them.
inline constexpr char kGbkSetupCaption[] = "b0b2d7b04b656c766fd6c7c4dcbfcdbba7b6cb";
inline constexpr char kGbkLiteCaption[] = "b0b2d7b0204b656c766f20d6c7c4dcbfcdbba7b6cb";
inline constexpr char kGbkAnotherInstance[] =
    "d3d0d5fdd4dad4cbd0d0b5c4bfcdbba7b6cbb0b2d7b0b3ccd0f2a3acc7ebc9d4baf2d4d9cad4a1a3";
inline constexpr char kGbkLiteAnotherInstance[] =
    "b4cbc7b0d4cbd0d0b5c4b3ccd0f2cab5c0fdbbb9c3bbd3d0cdeac8abcdcbb3f6a3acc7ebc9d4baf2d4d9cad4a1a3";
inline constexpr char kGbkNotAdmin[] =
    "c4fac3bbd3d0b9dcc0edd4b1c8a8cfdea3accedeb7a8bdf8d0d0b0b2d7b0b2d9d7f7a3a1";
inline constexpr char kGbkLowDiskSpace[] =
    "43c5ccbfd5bce4b2bbd7e3a3acb0b2d7b0d2aac7f343c5ccb1d8d0ebd3d035304dd2d4c9cfb5c4bfd5bce4a1a3";
inline constexpr char kGbkUpdateToolRunning[] =
    "bfcdbba7b6cbd5fdd4dac9fdbcb6b6a8d6c6d0c5cfa2a3acc7ebc9d4baf3d4d9cad4a1a3";
