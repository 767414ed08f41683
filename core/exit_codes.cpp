// The lines that end a launcher run in the setup log: a refused start, and
// the exit code of every run.
#include "exit_codes.h"
#include "log.h"

#include <stdio.h>

void LogRefusedStart(RunOutcome eOutcome, DWORD dwErr)
{
    char szLine[160];
    if (dwErr != 0)
        snprintf(szLine, sizeof szLine, "start refused: %s, err %u.", RunOutcomeMeaning(eOutcome),
                 (unsigned)dwErr);
    else
        snprintf(szLine, sizeof szLine, "start refused: %s.", RunOutcomeMeaning(eOutcome));
    WriteSetupLog(szLine);
}

int EndRun(RunOutcome eOutcome, DWORD dwRunCode)
{
    DWORD dwExit = RunOutcomeExitCode(eOutcome, dwRunCode);
    char szLine[160];
    snprintf(szLine, sizeof szLine, "exit code %u: %s.", (unsigned)dwExit,
             RunOutcomeMeaning(eOutcome));
    WriteSetupLog(szLine);
    return (int)dwExit;
}
