// The texts the tool prints for failures: the package code's own for its
// error numbers, Windows' for system error codes. The two are kept apart:
// a system code can carry the same number as one of ours.
#include "setuptool.h"
#include "package.h"

#include <stdio.h>

const char* tool_ErrorText(DWORD dwErr)
{
    const char* pszText = pkg_ErrorText(dwErr);
    return pszText ? pszText : tool_SystemErrorText(dwErr);
}

const char* tool_SystemErrorText(DWORD dwErr)
{
    static char szSystem[128];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                            FORMAT_MESSAGE_MAX_WIDTH_MASK,
                        NULL, dwErr, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), szSystem,
                        sizeof szSystem, NULL))
        snprintf(szSystem, sizeof szSystem, "system error %u", (unsigned)dwErr);
    return szSystem;
}
