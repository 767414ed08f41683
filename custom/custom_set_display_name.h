// The client display name derived from a customisation-set version. Pure
// code: no Windows headers, so that it also builds and is tested with the
// host compiler.
#pragma once

enum {
    CUSSET_VERSION_LEN = 11,      // "Version" in section "Common", with at least one "-"
    CUSSET_DISPLAY_NAME_LEN = 20, // what an 11-character version always gives
};

// The display name of an 11-character version: its characters 1 to 3, then
// the last one, then 6 to 9 (counted from 0). 0 and an empty szOut for a
// text of any other length.
int FormatCustomSetDisplayName(const char* pszVersion, char szOut[CUSSET_DISPLAY_NAME_LEN + 1]);
