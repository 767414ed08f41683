// Looks for single-byte characters in text of the system code page one
// character at a time. In the Chinese code page the second byte of a
// double-byte character may be 0x5C or 0x7C, the backslash or the vertical
// bar; a byte-wise search would take it for a character of its own.
#include "path_util.h"

#include <string.h>

const char* utl_FindAnsiChar(const char* pszText, const char* pszSet, int bLast)
{
    const char* pszFound = NULL;
    for (const char* p = pszText; *p != '\0';) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (strchr(pszSet, *p) != NULL) {
            pszFound = p;
            if (!bLast)
                break;
        }
        ++p;
    }
    return pszFound;
}
