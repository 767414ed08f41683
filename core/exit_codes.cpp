// The lines that end a launcher run in the setup log: a refused start, and
// the exit code of every run.
#include "exit_codes.h"
#include "log.h"
#include "run_log_lines.h"

#include <stdio.h>

void LogRefusedStart(RunOutcome eOutcome, DWORD dwErr)
{
    char szLine[160];
    if (dwErr != 0)
        snprintf(szLine, sizeof szLine, RUN_LOG_REFUSED "%s, err %u.", RunOutcomeMeaning(eOutcome),
                 (unsigned)dwErr);
    else
        snprintf(szLine, sizeof szLine, RUN_LOG_REFUSED "%s.", RunOutcomeMeaning(eOutcome));
    WriteSetupLog(szLine);
}

int EndRun(RunOutcome eOutcome, DWORD dwRunCode)
{
    DWORD dwExit = RunOutcomeExitCode(eOutcome, dwRunCode);
    char szLine[160];
    snprintf(szLine, sizeof szLine, RUN_LOG_EXIT_CODE "%u: %s.", (unsigned)dwExit,
             RunOutcomeMeaning(eOutcome));
    WriteSetupLog(szLine);
    return (int)dwExit;
}
