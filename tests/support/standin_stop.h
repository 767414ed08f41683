// The stand-in program and the tests agree on one stop event per executable
// name, so a stand-in started by someone else (a launcher) can be stopped too.
#pragma once

#include <windows.h>
#include <stdio.h>

inline void StandInStopEventName(const char* pszExeName, char* pszOut, size_t cbOut)
{
    int cch = snprintf(pszOut, cbOut, "KelvoStandIn.stop.%s", pszExeName);
    for (int i = 0; i < cch && (size_t)i < cbOut; ++i)
        pszOut[i] = (char)((pszOut[i] >= 'A' && pszOut[i] <= 'Z') ? pszOut[i] + 32 : pszOut[i]);
}
