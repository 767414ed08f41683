// The steps of a launcher run, and what each line of its logs says about
// them: which step wrote it, and whether it is one that runs write when all
// is well (the password gate's "verifying KelvoCustom info FAILED with Err"
// on a PC without the client, the wait's "is-stp started at N"), which never
// explains a failure. A run's explaining lines are the lines of the step
// that failed. Portable: no Windows headers.
#pragma once

#include "run_outcomes.h"

#include <stdint.h>

enum RunStep {
    STEP_UNKNOWN,           // a line this tool does not know: a newer launcher's, a path, a name
    STEP_START,             // the start line and the single-instance event
    STEP_REFUSAL,           // a refused start: the box, or the line in its place
    STEP_ADMIN,             // the administrator check
    STEP_FREE_SPACE,        // the free space on C:
    STEP_PASSWORD,          // the password gate: the installed client's protection, the dialog
    STEP_WORK_DIR,          // preparing the work directory
    STEP_OWN_FILE,          // the launcher's own file and its size
    STEP_EXTRACTION,        // the unpacker
    STEP_FAILED_EXTRACTION, // what became of the files of a failed extraction
    STEP_HELPER,            // the companion (setup) or the registration tool (setup-lite)
    STEP_INSTALLER,         // the inner installer: its start, the wait, its end
    STEP_PROCESS_CHECK,     // checks of the process list that failed
    STEP_COUNT
};

// A set of steps, one bit each.
typedef uint32_t RunSteps;
inline RunSteps StepBit(RunStep eStep)
{
    return (RunSteps)1 << eStep;
}

struct LineMeaning {
    RunStep eStep;
    int bRoutine; // written when all is well: never shown as a cause
};

// What a line of a setup or module log says (its text, without the prefix).
LineMeaning steps_OfLine(const char* pszText);
// The step in a few words: "the extraction".
const char* steps_Name(RunStep eStep);

// The steps whose lines explain an ending: a failed install's error number,
// a refusal (eOutcome RUN_OUTCOME_COUNT when the log's words are not known
// here, then by its exit code), the inner installer's own failure, and a run
// that stopped in eLast.
RunSteps steps_OfInstallError(uint32_t dwNumber);
RunSteps steps_OfRefusal(RunOutcome eOutcome, uint32_t dwExitCode);
RunSteps steps_OfInstallerFailure();
RunSteps steps_OfStop(RunStep eLast);
