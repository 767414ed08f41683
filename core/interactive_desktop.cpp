// Whether anybody can answer a box of this process. Deployment agents start
// the launcher as SYSTEM, in a service's window station or in session 0,
// where no user sees a window: a box or dialog there waits forever and the
// rollout hangs. A station whose flags cannot be read counts as none seen,
// since a box that is not shown costs a line in the log, one that nobody
// sees costs the whole rollout.
#include "start_checks.h"

// Since Vista only services run in session 0, and the console has a
// session of its own; before, the console user's session was 0.
static int IsServicesSession()
{
    DWORD dwSession = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &dwSession) && dwSession == 0 &&
           WTSGetActiveConsoleSessionId() != 0;
}

int HasInteractiveDesktop()
{
    USEROBJECTFLAGS flags;
    DWORD cbNeeded = 0;
    HWINSTA hStation = GetProcessWindowStation();
    if (hStation == NULL ||
        !GetUserObjectInformationA(hStation, UOI_FLAGS, &flags, sizeof flags, &cbNeeded))
        return 0;
    return (flags.dwFlags & WSF_VISIBLE) != 0 && !IsServicesSession();
}
