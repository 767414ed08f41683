// The package behind a launcher image: a header marker, then one record per
// file (plain 32-bit name and data lengths, scrambled name and data). Its
// fixed marks, scrambling and name rules, and the two stream
// shapes every reader and writer of it goes through. Portable: no Windows
// headers, so that the launchers, setuptool.exe and the Linux tool share it.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#include "error_numbers.h"

enum {
    PKG_OFFSET = 307200, // where the package starts inside a launcher
    PKG_MARKER_LEN = 17,
    PKG_MAX_NAME = 64,
    PKG_RECORD_HEAD = 8, // the two plain length fields
    PKG_CHUNK = 4096,    // the launchers' one transfer buffer
};

// The longest path the walk takes, without its terminator: Windows' limit,
// or Linux's.
#ifdef _WIN32
enum { PKG_PATH_MAX = 260 };
#else
enum { PKG_PATH_MAX = 4096 };
#endif

// "^-=Kelvo=-^ Mirk ": 17 bytes, the last a blank, stored without terminator.
extern const char g_szPkgMarker[PKG_MARKER_LEN + 1];
// A record of this name ends a package for the setup unpacker.
extern const char g_szPkgEndName[];

uint32_t MixBuffer(uint8_t* pBuf, uint32_t cbBuf);
// 17 bytes as read from a package: 0 when they are the scrambled marker,
// PKG_ERR_BAD_HEADER when they are some other text. The bytes stay as read.
uint32_t pkg_CheckMarker(const uint8_t abStored[PKG_MARKER_LEN]);

// A stream of bytes in and out: each returns 0, or the system's error code
// (a write that lands fewer bytes than asked reports a full disk). A read
// returns fewer bytes than asked only at the end of its file.
typedef uint32_t (*PkgReadFn)(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead);
typedef uint32_t (*PkgWriteFn)(void* pCtx, const void* pBuf, uint32_t cb);

// How record names are read: the code page of the PC that unpacks them (0:
// the system's own); with bAsciiOnly every byte above 0x7F is refused, for a
// tool that was not told.
struct PkgCodePage {
    int bAsciiOnly;
    uint32_t uCodePage;
};

// 0 for the system's own ANSI code page (on Linux, which has none: ASCII
// only), 1252 (Western) or 936 (Chinese, GBK). NULL for any other number.
const PkgCodePage* pkg_CodePage(uint32_t uCodePage);

// From the edge: whether code page 0 is a system's own (Windows) or stands
// for ASCII only (Linux), and how a code page reads bytes.
extern const int g_bPkgSystemCodePage;
int pkg_IsLeadByte(uint32_t uCodePage, uint8_t b);
// The UTF-16 units of cb bytes, at most cwMax of them: their count, or -1
// when the bytes are no text of the code page or need more room.
int pkg_DecodeName(uint32_t uCodePage, const char* p, size_t cb, uint16_t* pw, size_t cwMax);

// A log line of the prefix and a printf-style text, cut at 1023 bytes, for
// pfnLog (nothing when it is NULL).
void pkg_LogV(void (*pfnLog)(const char* pszLine), const char* pszPrefix, const char* pszFormat,
              va_list args);

// A record name may only name a plain file inside the destination directory
// (or an existing subdirectory of it, after one inner backslash).
int pkg_IsSafeName(const char* pszName, const PkgCodePage* pCodePage);
// Why a name is refused, for the tools' messages; the first rule it breaks,
// reading from its start.
enum PkgNameFault {
    PKG_NAME_OK,
    PKG_NAME_EMPTY_PART,   // empty, or a leading, doubled or trailing backslash
    PKG_NAME_DOT_OR_SPACE, // a part that ends in a dot or a blank ("." and ".." too)
    PKG_NAME_DEVICE,       // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, any extension
    PKG_NAME_CHARACTER,    // a control character, or one of / : * ? " < > |
    PKG_NAME_NOT_TEXT,     // bytes the code page does not read (a cut double-byte
                           // character; above 0x7F where only ASCII is taken)
};
PkgNameFault pkg_NameFault(const char* pszName, const PkgCodePage* pCodePage);

// Windows folds ASCII letters in file names: "a.txt" and "A.TXT" name one
// file, in a package's destination as in a launcher's work directory.
int pkg_SameName(const char* pszA, const char* pszB);
