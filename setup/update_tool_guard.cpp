// The customisation-update tool must not run while the client is installed.
// Some systems report process names cut to 15 characters, so the cut name is
// looked for too. A check that fails counts as the tool not running.
#include "setup.h"
#include "proc_check.h"

int IsUpdateToolRunning()
{
    return chkProcExist("waitSetup", "Tramvelcordix.exe") == PROC_RUNNING ||
           chkProcExist("waitSetup", "Tramvelcordix.e") == PROC_RUNNING;
}
