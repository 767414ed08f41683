// The launchers' endings: one row for each way a run can end, with its exit
// code and the meaning the setup log gives it.
#include "run_outcomes.h"

namespace
{

// Passed on from the run itself (the installer's code, the error number).
const uint32_t kCodeOfTheRun = 0xFFFFFFFF;

struct OutcomeRow {
    RunOutcome eOutcome;
    uint32_t dwExitCode;
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
    {RUN_OWN_FILE_REPLACED, EXIT_CODE_BAD_PACKAGE,
     "another file was put at the launcher's path as it started"},
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

int RunOutcomePassesCodeOn(RunOutcome eOutcome)
{
    return Row(eOutcome)->dwExitCode == kCodeOfTheRun;
}

uint32_t RunOutcomeExitCode(RunOutcome eOutcome, uint32_t dwRunCode)
{
    uint32_t dwOwn = Row(eOutcome)->dwExitCode;
    return dwOwn == kCodeOfTheRun ? dwRunCode : dwOwn;
}
