// The Linux tool's INI editor, against what Windows' private-profile
// functions do for custom set and custom version. Wine rewrites the whole
// file when it writes a value (it drops blank lines and the blanks around
// "="); Windows edits the one line and keeps the rest, as the editor does.
// On files without either (the ones the agreement test gives both tools)
// all three agree.
#include "ini_text.h"

#include <gtest/gtest.h>

namespace
{

TEST(IniText, ValuesReadAsTheProfileFunctionsReadThem)
{
    const std::string kIni = "top=0\r\n[Common]\r\nVersion = A1.2B-3456C \r\n"
                             "Quoted=\"two words\"\r\nSingle='x'\r\nempty=\r\n; note=1\r\n"
                             "[common]\r\nVersion=second\r\n[Other]\r\nKey=v\r\n";
    const struct {
        const char* pszSection;
        const char* pszKey;
        const char* pszValue; // NULL: none
    } kCases[] = {
        {"Common", "Version", "A1.2B-3456C"},
        {"COMMON", "version", "A1.2B-3456C"},
        {" Common ", "Version", NULL},
        {"Common", "Quoted", "two words"},
        {"Common", "Single", "x"},
        {"Common", "empty", ""},
        {"Common", "; note", "1"},
        {"Common", "Key", NULL},
        {"Other", "Key", "v"},
        {"", "top", "0"},
        {"Missing", "Key", NULL},
    };
    for (const auto& c : kCases) {
        std::string value;
        bool bFound = ini_GetValue(kIni, c.pszSection, c.pszKey, &value);
        EXPECT_EQ(bFound, c.pszValue != NULL) << c.pszSection << "/" << c.pszKey;
        if (bFound && c.pszValue != NULL)
            EXPECT_EQ(value, c.pszValue) << c.pszSection << "/" << c.pszKey;
    }
}

TEST(IniText, SettingAValueEditsOneLine)
{
    const struct {
        const char* pszIn;
        const char* pszSection;
        const char* pszKey;
        const char* pszOut;
    } kCases[] = {
        // Where Windows and Wine agree.
        {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", "x", "[A]\r\nx=5\r\n[B]\r\ny=2\r\n"},
        {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "a", "X", "[A]\r\nx=5\r\n[B]\r\ny=2\r\n"},
        {"[A]\r\nx=1\r\n[B]\r\ny=2\r\n", "A", "z", "[A]\r\nx=1\r\nz=5\r\n[B]\r\ny=2\r\n"},
        {"[A]\r\nx=1\r\n[B]\r\ny=2", "C", "k", "[A]\r\nx=1\r\n[B]\r\ny=2\r\n[C]\r\nk=5\r\n"},
        {"[A]\r\nx=1\r\n", "", "k", "k=5\r\n[A]\r\nx=1\r\n"},
        {"", "A", "x", "[A]\r\nx=5\r\n"},
        // Where Windows keeps what Wine rewrites.
        {"[A]\r\nx = 1\r\n\r\n[B]\r\n", "A", "x", "[A]\r\nx=5\r\n\r\n[B]\r\n"},
        {"[A]\r\nx=1\r\n\r\n[B]\r\n", "A", "z", "[A]\r\nx=1\r\nz=5\r\n\r\n[B]\r\n"},
        {"[A]\nx=1\n", "A", "z", "[A]\nx=1\nz=5\n"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(ini_SetValue(c.pszIn, c.pszSection, c.pszKey, "5"), c.pszOut) << c.pszIn;
}

} // namespace
