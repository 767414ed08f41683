// Matching the lines of the logs the programs write in c:\KelvoLog, and of
// what a program prints. Each log line is "[date time] [thread] text\r\n"
// (module logs: "[0xthread]", and "[DTL] " before it on detail lines); the
// patterns are ECMAScript regular expressions that match a line's whole text.
#pragma once

#include "test_env.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

// Lines that match the patterns, in this order, with any other lines between.
::testing::AssertionResult LogHasInOrder(const std::vector<std::string>& patterns,
                                         const std::string& logPath = TodaySetupLogPath());
// Exactly these lines: one line for each pattern, in this order, and no other.
::testing::AssertionResult LogLinesAre(const std::vector<std::string>& patterns,
                                       const std::string& logPath = TodaySetupLogPath());
// The same two checks over a program's output, whose lines end in LF and
// are matched whole.
::testing::AssertionResult OutputHasInOrder(const std::string& output,
                                            const std::vector<std::string>& patterns);
::testing::AssertionResult OutputLinesAre(const std::string& output,
                                          const std::vector<std::string>& patterns);
// The pattern that matches exactly this text (paths, texts with dots).
std::string Literally(const std::string& text);
// The first line of a run of the launcher ("setup" or "setup-lite") started
// elevated by its full path, on a desktop of the kind pszDesktop matches
// ("interactive desktop", "no interactive desktop"), with the arguments
// given (NULL: none).
std::string RunHeader(const char* pszLauncher, const char* pszDesktop, const char* pszArgs);
// The lines a run of the launcher begins with, as it writes them (started
// without arguments), then the patterns of the rest, for LogLinesAre.
std::vector<std::string> RunLines(const char* pszLauncher, std::vector<std::string> rest);

// A run's last line once the inner installer has ended, with its own code;
// and that of a failed install, with its error number.
std::string InstallerEndedLine(DWORD dwCode);
std::string InstallFailedLine(DWORD dwErr);

// The launchers' line for a setup whose seal matches its package.
inline constexpr char kSealMatchesLine[] =
    "ExtractPackage: the seal matches: XXH3 [0-9a-f]{16} of \\d+ bytes\\.";
