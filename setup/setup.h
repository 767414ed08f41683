// The setup launcher's own steps around the shared ones: the update-tool
// guard, and the sequence of companion, inner installer and wait.
#pragma once

#include <windows.h>

int IsUpdateToolRunning();
// 1 when the inner installer was started and has ended (*pdwInstallerExit:
// its exit code); 0 with the error number in *pdwErr.
int UnpackAndSetup(DWORD* pdwErr, DWORD* pdwInstallerExit);
