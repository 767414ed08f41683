// JSON for pipelines that parse what check and list found: strings escaped
// as RFC 8259 wants them, always valid UTF-8 (a byte that is no part of a
// UTF-8 character is written as the character of its value, U+0080 to
// U+00FF), and numbers as they are.
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

namespace
{

// The length of the UTF-8 character at p, or 0 for a byte that starts none.
size_t Utf8Length(const unsigned char* p)
{
    size_t cb = p[0] < 0x80             ? 1
                : (p[0] & 0xE0) == 0xC0 ? 2
                : (p[0] & 0xF0) == 0xE0 ? 3
                : (p[0] & 0xF8) == 0xF0 ? 4
                                        : 0;
    if (cb == 2 && p[0] < 0xC2)
        return 0; // an overlong form
    for (size_t i = 1; i < cb; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    }
    return cb;
}

} // namespace

void tool_JsonString(const char* pszText)
{
    putchar('"');
    for (const unsigned char* p = (const unsigned char*)pszText; *p != '\0';) {
        size_t cb = Utf8Length(p);
        if (*p == '"' || *p == '\\')
            printf("\\%c", *p);
        else if (*p < 0x20 || *p == 0x7F)
            printf("\\u%04x", *p);
        else if (cb == 0)
            printf("\\u%04x", *p);
        else
            fwrite(p, 1, cb, stdout);
        p += cb == 0 ? 1 : cb;
    }
    putchar('"');
}

void tool_JsonName(const char* pszName, uint32_t uCodePage)
{
    char szUtf8[4 * TOOL_PATH_BUF];
    tos_TextToUtf8(pszName, uCodePage, szUtf8, sizeof szUtf8);
    tool_JsonString(szUtf8);
}

void tool_JsonMember(const char* pszName, int bFirst)
{
    printf("%s\"%s\": ", bFirst ? "" : ", ", pszName);
}
