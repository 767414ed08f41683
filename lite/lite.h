// The lite launcher: the same checks and extraction as setup, then the
// registration tool when no client is installed, and the inner installer
// followed through the registry flag "SetupFlag".
#pragma once

#include <windows.h>

// 1 when the installer set the flag and has ended (*pdwInstallerExit: its
// exit code); 0 with the error number in *pdwErr.
int UnpackAndSetupLite(DWORD* pdwErr, DWORD* pdwInstallerExit);
