// The launchers' exit codes: one row for each way a run can end.
#include "exit_codes.h"
#include "log.h"
#include "run_log_lines.h"

#include <stdio.h>

namespace
{

// Passed on from the run itself (the installer's code, the error number).
const DWORD kCodeOfTheRun = 0xFFFFFFFF;

struct OutcomeRow {
    RunOutcome eOutcome;
    DWORD dwExitCode;
    const char* pszMeaning;
};

const OutcomeRow kOutcomes[] = {
    {RUN_INSTALLER_ENDED, kCodeOfTheRun, "the inner installer has ended, and this is its own code"},
    {RUN_ANOTHER_LAUNCHER, EXIT_CODE_BUSY, "another launcher is running; try again later"},
    {RUN_UPDATE_TOOL_RUNNING, EXIT_CODE_BUSY,
     "the customisation-update tool is running; try again later"},
    {RUN_NOT_ADMIN, EXIT_CODE_NOT_ADMIN, "the launcher does not run as an administrator"},
    {RUN_LOW_DISK_SPACE, EXIT_CODE_LOW_DISK_SPACE, "less than 50 MB is free on C:"},
    {RUN_NO_INSTANCE_EVENT, EXIT_CODE_CANNOT_START, "the single-instance event cannot be created"},
    {RUN_PASSWORD_NOT_GIVEN, EXIT_CODE_CANCELLED,
     "the password dialog ended without the right password"},
    {RUN_PASSWORD_WITHOUT_DESKTOP, EXIT_CODE_NEEDS_PASSWORD,
     "the installed client is protected by a password, which nobody can type without a desktop"},
    {RUN_INSTALL_FAILED, kCodeOfTheRun, "the install failed, and this is its error number"},
};

const OutcomeRow* Row(RunOutcome eOutcome)
{
    for (const OutcomeRow& row : kOutcomes) {
        if (row.eOutcome == eOutcome)
            return &row;
    }
    return &kOutcomes[RUN_INSTALL_FAILED];
}

} // namespace

const char* RunOutcomeMeaning(RunOutcome eOutcome)
{
    return Row(eOutcome)->pszMeaning;
}

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
    const OutcomeRow* pRow = Row(eOutcome);
    DWORD dwExit = pRow->dwExitCode == kCodeOfTheRun ? dwRunCode : pRow->dwExitCode;
    char szLine[160];
    snprintf(szLine, sizeof szLine, RUN_LOG_EXIT_CODE "%u: %s.", (unsigned)dwExit,
             pRow->pszMeaning);
    WriteSetupLog(szLine);
    return (int)dwExit;
}
