// Both checks walk the log's lines with the same code; the exact one lets no
// line pass unmatched.
#include "log_lines.h"

#include <regex>
#include <string.h>

static ::testing::AssertionResult MatchLines(const std::vector<std::string>& patterns,
                                             const std::string& logPath, bool bExact)
{
    static const std::regex kHead("\\[[-0-9: ]+\\] (\\[DTL\\] )?\\[(0x)?[0-9a-f]+\\] ");
    std::string log = ReadOr(logPath, "");
    size_t nPattern = 0, nStart = 0, nEnd;
    for (; nPattern < patterns.size() && (nEnd = log.find("\r\n", nStart)) != std::string::npos;
         nStart = nEnd + 2) {
        std::string text = log.substr(nStart, nEnd - nStart);
        std::smatch head;
        if (std::regex_search(text, head, kHead, std::regex_constants::match_continuous))
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
    return MatchLines(patterns, logPath, false);
}

::testing::AssertionResult LogLinesAre(const std::vector<std::string>& patterns,
                                       const std::string& logPath)
{
    return MatchLines(patterns, logPath, true);
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
