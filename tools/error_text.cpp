// One line of English for each error number a command can end with.
#include "setuptool.h"

#include <stdio.h>

struct ErrorText {
    DWORD dwErr;
    const char* pszText;
};

static const ErrorText kTexts[] = {
    {150, "a path argument is missing"},
    {151, "a path is 260 characters or longer"},
    {152, "the source file does not exist"},
    {153, "there is no package file to append to"},
    {154, "the existing package file cannot be deleted"},
    {155, "the file size cannot be read, is 4 GiB or more, or the offset lies outside the file"},
    {156, "a file cannot be opened"},
    {157, "writing failed"},
    {158, "the destination directory does not exist"},
    {159, "there are no 17 header bytes at the offset"},
    {160, "no package header at the offset"},
    {161, "a record's name length is unreadable or too long (64 bytes at most, and the "
          "destination path plus name below 260)"},
    {162, "a record's data length is unreadable"},
    {163, "a record runs past the end of the package"},
    {164, "a record's name cannot be read in full"},
    {165, "a record's name is refused or its file cannot be opened for writing"},
    {166, "a record's data cannot be read in full"},
};

const char* tool_ErrorText(DWORD dwErr)
{
    for (const ErrorText& text : kTexts) {
        if (text.dwErr == dwErr)
            return text.pszText;
    }
    static char szSystem[128];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                            FORMAT_MESSAGE_MAX_WIDTH_MASK,
                        NULL, dwErr, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), szSystem,
                        sizeof szSystem, NULL))
        snprintf(szSystem, sizeof szSystem, "system error %u", (unsigned)dwErr);
    return szSystem;
}
