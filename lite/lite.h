// The lite launcher: the same checks and extraction as setup, then the
// registration tool when no client is installed, and the inner installer
// followed through the registry flag "SetupFlag".
#pragma once

#include <windows.h>

enum {
    LITE_ERR_SETUP_FLAG = 353,
    LITE_ERR_FLAG_NOT_SET = 354,
};

int UnpackAndSetupLite(DWORD* pdwErr);
