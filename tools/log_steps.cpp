// The launchers' log lines by step: a table of the texts they begin with,
// the first match deciding (a routine text before the general one of its
// function), and which steps explain which ending.
#include "log_steps.h"
#include "error_numbers.h"
#include "install_sequence.h"
#include "run_log_lines.h"

#include <string.h>

namespace
{

struct KnownText {
    const char* pszStart;
    size_t cchStart;
    RunStep eStep;
    int bRoutine;
};

#define KNOWN(start, step, routine)                                                                \
    {                                                                                              \
        start, sizeof start - 1, step, routine                                                     \
    }

#define START_EXTRACTED "StartExtracted: "
#define PROMPT "IsUninstallPrompt:"
#define LOADER "utl_LoadCusIniFile:"

// A function that logs begins its lines with its own name; the launcher
// flow's own lines are matched whole or by their fixed beginning.
const KnownText kKnown[] = {
    // What the launcher set at its start, on every run.
    KNOWN("DLL search: ", STEP_START, 1),
    KNOWN("redirection trust: ", STEP_START, 1),
    KNOWN("HoldInstanceObjects: ", STEP_START, 0),
    KNOWN("HoldOwnImage: ", STEP_OWN_FILE, 0),
    KNOWN("The C free space is ", STEP_FREE_SPACE, 0),
    KNOWN("GetTokenInformation error", STEP_ADMIN, 0),
    KNOWN("Cannot open process token", STEP_ADMIN, 0),
    KNOWN("Cannot create SID for Administrators", STEP_ADMIN, 0),
    KNOWN(RUN_LOG_REFUSED, STEP_REFUSAL, 0),
    KNOWN(RUN_LOG_INSTALL_STILL_RUNNING, STEP_REFUSAL, 0),
    KNOWN("no interactive desktop, so this is not shown: ", STEP_REFUSAL, 0),
    KNOWN("no interactive desktop, so the password dialog is not shown.", STEP_PASSWORD, 0),
    KNOWN("g_bExit = TRUE;", STEP_PASSWORD, 1),
    KNOWN("Begin UnpackAndSetup", STEP_PASSWORD, 1),
    KNOWN("CreateDialogParam failed", STEP_PASSWORD, 0),
    KNOWN(" handle the error and possibly exit", STEP_PASSWORD, 0),
    // A PC without the client, or one whose client is not protected, writes
    // these on every run.
    KNOWN(PROMPT "verifying KelvoCustom info FAILED with Err", STEP_PASSWORD, 1),
    KNOWN(PROMPT "verifying uninstall info FAILED with Err", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get Uninstall from reg failed", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get Uninstall from old reg failed", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get Uninstall from reg succ", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get UninstallPwd from reg fail,Return true.", STEP_PASSWORD, 1),
    KNOWN(PROMPT "!dwResult, return false.", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get Version from new reg failed, try old.", STEP_PASSWORD, 1),
    KNOWN(PROMPT "Get Version from old reg failed, return false.", STEP_PASSWORD, 1),
    KNOWN(PROMPT, STEP_PASSWORD, 0),
    KNOWN(LOADER "CusIniVerify new failed,try for old.", STEP_PASSWORD, 1),
    KNOWN(LOADER "CusIniVerify old failed,return false.", STEP_PASSWORD, 1),
    KNOWN(LOADER, STEP_PASSWORD, 0),
    KNOWN("PrepareWorkDir: ", STEP_WORK_DIR, 0),
    KNOWN("CheckOwnSize: ", STEP_OWN_FILE, 0),
    KNOWN(RUN_LOG_SEAL_MATCHES, STEP_EXTRACTION, 1),
    KNOWN(RUN_LOG_NO_SEAL, STEP_EXTRACTION, 1),
    KNOWN(RUN_LOG_PROGRESS_SHOWN, STEP_EXTRACTION, 1),
    KNOWN(RUN_LOG_DAMAGED, STEP_EXTRACTION, 0),
    KNOWN(RUN_LOG_CANCELLED, STEP_EXTRACTION, 0),
    KNOWN("utl_FileUnpack", STEP_EXTRACTION, 0),
    KNOWN("utl_GetFileSize", STEP_EXTRACTION, 0),
    KNOWN(RUN_LOG_FAILED_EXTRACTION, STEP_FAILED_EXTRACTION, 0),
    KNOWN(START_EXTRACTED SETUP_COMPANION " ", STEP_HELPER, 0),
    KNOWN(START_EXTRACTED LITE_REGISTRATION_TOOL " ", STEP_HELPER, 0),
    KNOWN(START_EXTRACTED SETUP_INNER_INSTALLER " ", STEP_INSTALLER, 0),
    KNOWN(RUN_LOG_INSTALLER_STARTED, STEP_INSTALLER, 1),
    KNOWN(RUN_LOG_FLAG_SET, STEP_INSTALLER, 1),
    KNOWN("is-stp fine at ", STEP_INSTALLER, 1),
    KNOWN(RUN_LOG_INSTALLER_ENDED, STEP_INSTALLER, 1),
    KNOWN(RUN_LOG_INSTALLER_GONE, STEP_INSTALLER, 0),
    KNOWN(RUN_LOG_FLAG_NOT_SET, STEP_INSTALLER, 0),
    KNOWN(RUN_LOG_INSTALLER_CODE, STEP_INSTALLER, 0),
    KNOWN(RUN_LOG_INSTALLER_CODE_UNREAD, STEP_INSTALLER, 0),
    KNOWN("chkProcExist: ", STEP_PROCESS_CHECK, 0),
    KNOWN("procEnumRequest from ", STEP_PROCESS_CHECK, 1),
};

const char* const kNames[STEP_COUNT] = {
    "lines this tool does not know",
    "the start",
    "the refusal",
    "the administrator check",
    "the free-space check",
    "the password gate",
    "preparing the work directory",
    "the launcher's own file",
    "the extraction",
    "the clean-up after the extraction",
    "the companion or the registration tool",
    "the inner installer",
    "the process checks",
};

// The launchers' own numbers by the step that sets them; the package's are
// the unpacker's.
struct NumberSteps {
    uint32_t dwNumber;
    RunSteps steps;
};

const NumberSteps kLauncherNumbers[] = {
    {LAUNCH_ERR_WORK_DIR, StepBit(STEP_WORK_DIR)},
    // The own path is logged as it is when no file answers to it.
    {LAUNCH_ERR_OWN_SIZE, StepBit(STEP_OWN_FILE) | StepBit(STEP_UNKNOWN)},
    {LAUNCH_ERR_SETUP_FLAG, 0},
    {LAUNCH_ERR_FLAG_NOT_SET, StepBit(STEP_INSTALLER) | StepBit(STEP_PROCESS_CHECK)},
    // The extraction's last lines show where the package ended.
    {LAUNCH_ERR_NO_HELPER, StepBit(STEP_HELPER) | StepBit(STEP_EXTRACTION)},
    {LAUNCH_ERR_NO_INSTALLER, StepBit(STEP_INSTALLER) | StepBit(STEP_EXTRACTION)},
    {LAUNCH_ERR_HELPER_START, StepBit(STEP_HELPER)},
    {LAUNCH_ERR_INSTALLER_START, StepBit(STEP_INSTALLER)},
    // The seal's line says what did not match; the walk's lines what it met.
    {PKG_ERR_DAMAGED, StepBit(STEP_EXTRACTION) | StepBit(STEP_FAILED_EXTRACTION)},
};

// Every step but the unknown lines, which any failure shows.
const RunSteps kAllSteps = ((RunSteps)1 << STEP_COUNT) - 1;

} // namespace

LineMeaning steps_OfLine(const char* pszText)
{
    for (const KnownText& known : kKnown) {
        if (*pszText == *known.pszStart && strncmp(pszText, known.pszStart, known.cchStart) == 0)
            return LineMeaning{known.eStep, known.bRoutine};
    }
    return LineMeaning{STEP_UNKNOWN, 0};
}

const char* steps_Name(RunStep eStep)
{
    return eStep >= 0 && eStep < STEP_COUNT ? kNames[eStep] : kNames[STEP_UNKNOWN];
}

RunSteps steps_OfInstallError(uint32_t dwNumber)
{
    RunSteps always = StepBit(STEP_UNKNOWN);
    for (const NumberSteps& number : kLauncherNumbers) {
        if (number.dwNumber == dwNumber)
            return always | number.steps;
    }
    if (dwNumber >= PKG_ERR_NULL_ARG && dwNumber <= PKG_ERR_READ_DATA) {
        RunSteps steps = StepBit(STEP_EXTRACTION) | StepBit(STEP_FAILED_EXTRACTION);
        // A write that failed is most often a full disk: the free space at
        // the start says how much there was.
        if (dwNumber == PKG_ERR_WRITE)
            steps |= StepBit(STEP_FREE_SPACE);
        return always | steps;
    }
    return kAllSteps;
}

RunSteps steps_OfRefusal(RunOutcome eOutcome, uint32_t dwExitCode)
{
    RunSteps steps = StepBit(STEP_UNKNOWN) | StepBit(STEP_REFUSAL);
    switch (eOutcome) {
    case RUN_ANOTHER_LAUNCHER:
        return steps;
    case RUN_UPDATE_TOOL_RUNNING:
        return steps | StepBit(STEP_PROCESS_CHECK);
    case RUN_NOT_ADMIN:
        return steps | StepBit(STEP_ADMIN);
    case RUN_LOW_DISK_SPACE:
        return steps | StepBit(STEP_FREE_SPACE);
    case RUN_NO_INSTANCE_EVENT:
        return steps | StepBit(STEP_START);
    case RUN_OWN_FILE_REPLACED:
        return steps | StepBit(STEP_OWN_FILE);
    case RUN_EXTRACTION_CANCELLED:
        return steps | StepBit(STEP_EXTRACTION) | StepBit(STEP_FAILED_EXTRACTION);
    case RUN_PASSWORD_NOT_GIVEN:
    case RUN_PASSWORD_WITHOUT_DESKTOP:
        return steps | StepBit(STEP_PASSWORD);
    default:
        // A refusal of a newer launcher: 1618 is something still running.
        return dwExitCode == EXIT_CODE_BUSY ? steps | StepBit(STEP_PROCESS_CHECK) : kAllSteps;
    }
}

RunSteps steps_OfInstallerFailure()
{
    return StepBit(STEP_UNKNOWN) | StepBit(STEP_INSTALLER) | StepBit(STEP_PROCESS_CHECK);
}

RunSteps steps_OfStop(RunStep eLast)
{
    return StepBit(STEP_UNKNOWN) | StepBit(eLast) | StepBit(STEP_PROCESS_CHECK);
}
