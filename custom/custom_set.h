// The customisation-set version and the client display name derived from
// it, read from the verified pair "KelvoCustomSet.ini"/"KelvoCustomSet.vrf"
// beside the running program. Pure declarations: no Windows headers.
#pragma once

#include "custom_set_display_name.h"

// Why the pair beside the program yields no version.
enum CustomSetStatus {
    CUSSET_OK = 0,
    CUSSET_NO_PATH,      // the program's directory is unknown, or the paths do not fit
    CUSSET_NO_INI,       // there is no KelvoCustomSet.ini
    CUSSET_NO_VRF,       // there is no KelvoCustomSet.vrf
    CUSSET_NOT_VERIFIED, // the pair does not verify
    CUSSET_BAD_LENGTH,   // the version is not 11 characters long
    CUSSET_NO_DASH,      // the version holds no "-"
};

// The version, or NULL. A version is kept for the life of the process once
// one has been read; until then every call reads the pair again.
const char* GetCustomSetVersion();
// "Kelvo PC 1.2 (C3456)" for the version A1.2B-3456C, or NULL while there is
// no version.
const char* GetCustomSetDisplayName();

// Reads and checks the pair beside the program without keeping anything;
// szVersion is written only when the result is CUSSET_OK.
int ReadCustomSetVersion(char szVersion[CUSSET_VERSION_LEN + 1]);

// What a CustomSetStatus means, for messages.
const char* CustomSetStatusText(int nStatus);
