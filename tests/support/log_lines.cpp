// Both checks walk the log's lines with the same code; the exact one lets no
// line pass unmatched.
#include "log_lines.h"

#include <regex>
#include <string.h>

// A log's lines end in CR LF and start with the time and thread, which the
// patterns leave out; a program's output lines end in LF and are matched
// whole.
static ::testing::AssertionResult MatchLines(const std::vector<std::string>& patterns,
                                             const std::string& log, const std::string& logPath,
                                             bool bExact, bool bLog = true)
{
    static const std::regex kHead("\\[[-0-9: ]+\\] (\\[DTL\\] )?\\[(0x)?[0-9a-f]+\\] ");
    const char* pszEnd = bLog ? "\r\n" : "\n";
    size_t nPattern = 0, nStart = 0, nEnd;
    for (; nPattern < patterns.size() && (nEnd = log.find(pszEnd, nStart)) != std::string::npos;
         nStart = nEnd + strlen(pszEnd)) {
        std::string text = log.substr(nStart, nEnd - nStart);
        std::smatch head;
        if (bLog && std::regex_search(text, head, kHead, std::regex_constants::match_continuous))
            text = head.suffix();
        if (std::regex_match(text, std::regex(patterns[nPattern])))
            ++nPattern;
        else if (bExact)
            break;
    }
    if (nPattern < patterns.size())
        return ::testing::AssertionFailure()
               << "no line \"" << patterns[nPattern] << (bExact ? "\" next" : "\" in order")
               << " in " << logPath << ":\n"
               << log;
    if (bExact && nStart != log.size())
        return ::testing::AssertionFailure() << "more than these lines in " << logPath << ":\n"
                                             << log;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult LogHasInOrder(const std::vector<std::string>& patterns,
                                         const std::string& logPath)
{
    return MatchLines(patterns, ReadOr(logPath, ""), logPath, false);
}

::testing::AssertionResult LogLinesAre(const std::vector<std::string>& patterns,
                                       const std::string& logPath)
{
    return MatchLines(patterns, ReadOr(logPath, ""), logPath, true);
}

::testing::AssertionResult OutputLinesAre(const std::string& output,
                                          const std::vector<std::string>& patterns)
{
    return MatchLines(patterns, output, "the output", true, false);
}

::testing::AssertionResult OutputHasInOrder(const std::string& output,
                                            const std::vector<std::string>& patterns)
{
    return MatchLines(patterns, output, "the output", false, false);
}

std::string Literally(const std::string& text)
{
    std::string pattern;
    for (char c : text) {
        if (c != '\0' && strchr("\\^$.|?*+()[]{}", c))
            pattern += '\\';
        pattern += c;
    }
    return pattern;
}

std::string InstallerEndedLine(DWORD dwCode)
{
    return "exit code " + std::to_string(dwCode) +
           ": the inner installer has ended, and this is its own code\\.";
}

std::string InstallFailedLine(DWORD dwErr)
{
    return "exit code " + std::to_string(dwErr) +
           ": the install failed, and this is its error number\\.";
}

// The version the launchers' version block carries (setup-lite carries
// none; both are built from one version), read from setup.exe's resources
// as data: version.dll is not linked, so that no test program loads it by
// name at start, from beside itself, where some tests plant copies.
static std::string LauncherVersion()
{
    HMODULE hImage = LoadLibraryExA(BinPath("setup.exe").c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC hRes = hImage ? FindResourceA(hImage, MAKEINTRESOURCEA(1), RT_VERSION) : NULL;
    const BYTE* pData = hRes ? (const BYTE*)LockResource(LoadResource(hImage, hRes)) : NULL;
    DWORD cb = hRes ? SizeofResource(hImage, hRes) : 0;
    std::string version = "(no version block)";
    for (DWORD i = 0; pData != NULL && i + sizeof(VS_FIXEDFILEINFO) <= cb; i += 4) {
        const VS_FIXEDFILEINFO* pInfo = (const VS_FIXEDFILEINFO*)(pData + i);
        if (pInfo->dwSignature != 0xFEEF04BD)
            continue;
        version = std::to_string(HIWORD(pInfo->dwFileVersionMS)) + "." +
                  std::to_string(LOWORD(pInfo->dwFileVersionMS)) + "." +
                  std::to_string(HIWORD(pInfo->dwFileVersionLS)) + "." +
                  std::to_string(LOWORD(pInfo->dwFileVersionLS));
        break;
    }
    if (hImage)
        FreeLibrary(hImage);
    return version;
}

std::string RunHeader(const char* pszLauncher, const char* pszDesktop, const char* pszArgs)
{
    std::string header =
        Literally(std::string(pszLauncher) + " starts. version " + LauncherVersion() + "; user ") +
        "[^;]+; session \\d+; elevated; " + pszDesktop + "; command line: \"[^\"]+\"";
    if (pszArgs != NULL)
        header += Literally(std::string(" ") + pszArgs + "; arguments are not used: " + pszArgs);
    return header;
}

std::vector<std::string> RunLines(const char* pszLauncher, std::vector<std::string> rest)
{
    std::vector<std::string> lines = {
        RunHeader(pszLauncher, "(no )?interactive desktop", NULL),
        "DLL search: the system directory only, set by SetDefaultDllDirectories\\.",
        "redirection trust: enforced, links made by non-administrators are not followed\\.",
    };
    // Wine has no private namespaces (and says it enforces the redirection
    // trust it has no notion of); Windows from Vista on has them.
    if (RunningOnWine())
        lines.push_back("HoldInstanceObjects: this system has no private namespaces, so the event "
                        "evnt_Kelvo_stpDamon alone keeps launchers apart\\.");
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}
