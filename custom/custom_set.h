// The customisation-set version and the client display name derived from
// it, read from the verified pair "KelvoCustomSet.ini"/"KelvoCustomSet.vrf"
// beside the running program. Pure declarations: no Windows headers.
#pragma once

#include "custom_set_display_name.h"
#include "error_numbers.h"

// The version, or NULL. A version is kept for the life of the process once
// one has been read; until then every call reads the pair again.
const char* GetCustomSetVersion();
// "Kelvo PC 1.2 (C3456)" for the version A1.2B-3456C, or NULL while there is
// no version.
const char* GetCustomSetDisplayName();

// Reads and checks the pair beside the program without keeping anything:
// CUSSET_OK, or why there is no version (CUSSET_ERR_*). szVersion is written
// only when the result is CUSSET_OK.
int ReadCustomSetVersion(char szVersion[CUSSET_VERSION_LEN + 1]);
