// A stand-in for the programs the launchers start or watch: copied to any
// name (KelvoSetup.exe, Tramvelcordix.e, ...), it is a real process of that
// name until its time is up or it is told to stop.
//   standin [--ms N] [--exit N]
//   standin --overrun    overruns a stack buffer, which the stack guard of
//                        every program we build must stop
//   standin --guard      writes the stack guard's word, in hex, to its
//                        standard output
// Without --ms it runs for 120 s, so a forgotten stand-in does not live on.
// StopStandIns(name) of the test support, or setting the event
// "KelvoStandIn.stop.<lower-case name>", stops every stand-in of that name.
#include "standin_stop.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

extern "C" uintptr_t __stack_chk_guard;

static const char* OwnFileName(char* pszBuf, DWORD cbBuf)
{
    DWORD cch = GetModuleFileNameA(NULL, pszBuf, cbBuf);
    pszBuf[cch < cbBuf ? cch : cbBuf - 1] = '\0';
    const char* pszSlash = strrchr(pszBuf, '\\');
    return pszSlash ? pszSlash + 1 : pszBuf;
}

// Writes past a local array through an index the compiler cannot see.
__attribute__((noinline)) static int Overrun(volatile int nLength)
{
    char buf[16];
    for (int i = 0; i < nLength; ++i)
        buf[i] = 'x';
    return buf[3];
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    if (__argc == 2 && strcmp(__argv[1], "--overrun") == 0)
        return Overrun(64);
    if (__argc == 2 && strcmp(__argv[1], "--guard") == 0) {
        char sz[32];
        int cch = snprintf(sz, sizeof sz, "%llx", (unsigned long long)__stack_chk_guard);
        DWORD dwDone;
        return WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), sz, (DWORD)cch, &dwDone, NULL) ? 0 : 1;
    }
    DWORD dwRunMs = 120000;
    int nExit = 0;
    for (int i = 1; i + 1 < __argc; i += 2) {
        if (strcmp(__argv[i], "--ms") == 0)
            dwRunMs = strtoul(__argv[i + 1], NULL, 10);
        else if (strcmp(__argv[i], "--exit") == 0)
            nExit = atoi(__argv[i + 1]);
    }

    char szPath[MAX_PATH];
    char szEvent[MAX_PATH + 32];
    StandInStopEventName(OwnFileName(szPath, sizeof szPath), szEvent, sizeof szEvent);
    HANDLE hStop = CreateEventA(NULL, TRUE, FALSE, szEvent);
    if (hStop == NULL)
        Sleep(dwRunMs);
    else {
        WaitForSingleObject(hStop, dwRunMs);
        CloseHandle(hStop);
    }
    return nExit;
}
