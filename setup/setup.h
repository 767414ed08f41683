// The setup launcher's own steps around the shared ones: the update-tool
// guard, and the sequence of companion, inner installer and wait.
#pragma once

#include <windows.h>

int IsUpdateToolRunning();
int UnpackAndSetup(DWORD* pdwErr);
