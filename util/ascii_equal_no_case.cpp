// Compares executable names the way the process checks need: only ASCII
// letters fold, so a double-byte name is compared byte for byte.
#include "proc_check.h"

static char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int utl_AsciiEqualNoCase(const char* pszA, const char* pszB)
{
    for (;; ++pszA, ++pszB) {
        if (FoldAscii(*pszA) != FoldAscii(*pszB))
            return 0;
        if (*pszA == '\0')
            return 1;
    }
}
