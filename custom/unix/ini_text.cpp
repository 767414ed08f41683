// An INI file's text read line by line: "[name]" lines open sections, other
// lines holding "=" are keys, anything else (comments, blank lines) is kept
// and skipped.
#include "ini_text.h"

#include <string.h>

namespace
{

struct Line {
    size_t nStart; // the line's first byte
    size_t nEnd;   // its line break, or the end of the text
    size_t nNext;  // the next line's first byte
};

Line LineAt(const std::string& text, size_t nStart)
{
    size_t nEnd = text.find('\n', nStart);
    Line line = {nStart, nEnd == std::string::npos ? text.size() : nEnd, 0};
    line.nNext = nEnd == std::string::npos ? text.size() : nEnd + 1;
    if (line.nEnd > nStart && text[line.nEnd - 1] == '\r')
        --line.nEnd;
    return line;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string Trimmed(const std::string& text, size_t nFrom, size_t nTo)
{
    while (nFrom < nTo && IsBlank(text[nFrom]))
        ++nFrom;
    while (nTo > nFrom && IsBlank(text[nTo - 1]))
        --nTo;
    return text.substr(nFrom, nTo - nFrom);
}

bool SameName(const std::string& name, const char* psz)
{
    if (name.size() != strlen(psz))
        return false;
    for (size_t i = 0; i < name.size(); ++i) {
        char a = name[i], b = psz[i];
        if (a >= 'A' && a <= 'Z')
            a = (char)(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = (char)(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

// The name of a section header line.
bool SectionName(const std::string& text, const Line& line, std::string* pName)
{
    size_t n = line.nStart;
    while (n < line.nEnd && IsBlank(text[n]))
        ++n;
    if (n == line.nEnd || text[n] != '[')
        return false;
    size_t nClose = text.find(']', n);
    if (nClose == std::string::npos || nClose > line.nEnd)
        nClose = line.nEnd;
    *pName = Trimmed(text, n + 1, nClose);
    return true;
}

// Where a section's lines lie: from its first line after the header to the
// next header. The section "" starts with the text.
struct Span {
    bool bFound;
    size_t nBody;    // the first line after the header
    size_t nEnd;     // the next header, or the end of the text
    size_t nLastKey; // just past the last line of text in the section
};

Span FindSection(const std::string& text, const char* pszSection)
{
    Span span = {pszSection[0] == '\0', 0, text.size(), 0};
    bool bIn = span.bFound;
    for (size_t n = 0; n < text.size();) {
        Line line = LineAt(text, n);
        std::string name;
        if (SectionName(text, line, &name)) {
            if (bIn) {
                span.nEnd = n;
                return span;
            }
            if (SameName(name, pszSection)) {
                span = {true, line.nNext, text.size(), line.nNext};
                bIn = true;
            }
        } else if (bIn && !Trimmed(text, line.nStart, line.nEnd).empty()) {
            span.nLastKey = line.nNext;
        }
        n = line.nNext;
    }
    return span;
}

// The key's line within the span, or false.
bool FindKey(const std::string& text, const Span& span, const char* pszKey, Line* pLine,
             size_t* pnEquals)
{
    for (size_t n = span.nBody; n < span.nEnd;) {
        Line line = LineAt(text, n);
        size_t nEquals = text.find('=', line.nStart);
        if (nEquals < line.nEnd && SameName(Trimmed(text, line.nStart, nEquals), pszKey)) {
            *pLine = line;
            *pnEquals = nEquals;
            return true;
        }
        n = line.nNext;
    }
    return false;
}

// The line break the text already uses.
const char* LineBreak(const std::string& text)
{
    size_t n = text.find('\n');
    return n != std::string::npos && n > 0 && text[n - 1] != '\r' ? "\n" : "\r\n";
}

} // namespace

bool ini_GetValue(const std::string& text, const char* pszSection, const char* pszKey,
                  std::string* pValue)
{
    Span span = FindSection(text, pszSection);
    Line line;
    size_t nEquals = 0;
    if (!span.bFound || !FindKey(text, span, pszKey, &line, &nEquals))
        return false;
    std::string value = Trimmed(text, nEquals + 1, line.nEnd);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
        value[value.size() - 1] == value[0])
        value = value.substr(1, value.size() - 2);
    *pValue = value;
    return true;
}

std::string ini_SetValue(const std::string& text, const char* pszSection, const char* pszKey,
                         const char* pszValue)
{
    const char* pszBreak = LineBreak(text);
    Span span = FindSection(text, pszSection);
    Line line;
    size_t nEquals = 0;
    if (span.bFound && FindKey(text, span, pszKey, &line, &nEquals)) {
        std::string key = Trimmed(text, line.nStart, nEquals);
        return text.substr(0, line.nStart) + key + "=" + pszValue + text.substr(line.nEnd);
    }
    std::string entry = std::string(pszKey) + "=" + pszValue + pszBreak;
    if (span.bFound) {
        size_t nAt = span.nLastKey;
        std::string before = text.substr(0, nAt);
        if (!before.empty() && before[before.size() - 1] != '\n')
            before += pszBreak;
        return before + entry + text.substr(nAt);
    }
    std::string before = text;
    if (!before.empty() && before[before.size() - 1] != '\n')
        before += pszBreak;
    return before + "[" + pszSection + "]" + pszBreak + entry;
}
