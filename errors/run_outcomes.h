// How a launcher run ends, and the exit code each ending gives whatever
// started it: a deployment tool, a script, a user's double-click. The codes
// are the ones installers report, so that deployment tools retry, restart or
// fail as they do for any installer. The launchers log every ending with its
// meaning (core/exit_codes.h); the tools read the same table. Portable: no
// Windows headers.
#pragma once

#include "error_numbers.h"

#include <stdint.h>

// The exit codes of the endings that have one of their own. A run that
// started the inner installer passes on its exit code; a failed install
// sequence, its error number.
enum LaunchExitCode : uint32_t {
    EXIT_CODE_LOW_DISK_SPACE = 112, // ERROR_DISK_FULL
    EXIT_CODE_NOT_ADMIN = 740,      // ERROR_ELEVATION_REQUIRED
    EXIT_CODE_CANCELLED = 1602,     // ERROR_INSTALL_USEREXIT
    EXIT_CODE_BUSY = 1618,          // ERROR_INSTALL_ALREADY_RUNNING: try again later
    // ERROR_INSTALL_PACKAGE_INVALID: do not retry this file. A damaged setup's
    // failed install passes on its number, PKG_ERR_DAMAGED, which is this code
    // (written out: docs/deploy.md's table is checked against these numbers).
    EXIT_CODE_BAD_PACKAGE = 1620,
    EXIT_CODE_NEEDS_PASSWORD = 1625, // ERROR_INSTALL_PACKAGE_REJECTED
};
static_assert(EXIT_CODE_BAD_PACKAGE == (uint32_t)PKG_ERR_DAMAGED,
              "a damaged setup and a replaced one end with the same code");

enum RunOutcome {
    RUN_INSTALLER_ENDED,          // the inner installer's own exit code
    RUN_ANOTHER_LAUNCHER,         // EXIT_CODE_BUSY
    RUN_UPDATE_TOOL_RUNNING,      // EXIT_CODE_BUSY
    RUN_NOT_ADMIN,                // EXIT_CODE_NOT_ADMIN
    RUN_LOW_DISK_SPACE,           // EXIT_CODE_LOW_DISK_SPACE
    RUN_NO_INSTANCE_EVENT,        // LAUNCH_ERR_INSTANCE_OBJECTS, the launcher's own
    RUN_PASSWORD_NOT_GIVEN,       // EXIT_CODE_CANCELLED: cancelled, closed, three wrong
    RUN_PASSWORD_WITHOUT_DESKTOP, // EXIT_CODE_NEEDS_PASSWORD
    RUN_EXTRACTION_CANCELLED,     // EXIT_CODE_CANCELLED: Cancel in the progress window
    RUN_INSTALL_FAILED,           // the error number of "install failed with Err N."
    RUN_OWN_FILE_REPLACED,        // EXIT_CODE_BAD_PACKAGE
    RUN_INSTALLER_STILL_RUNNING,  // EXIT_CODE_BUSY: an earlier run's installer
    RUN_OUTCOME_COUNT
};

// What the outcome means, as the setup log says it.
const char* RunOutcomeMeaning(RunOutcome eOutcome);
// 1 when the ending passes on a code of the run itself (the inner
// installer's exit code, the failed install's error number) rather than
// having one of its own.
int RunOutcomePassesCodeOn(RunOutcome eOutcome);
// The exit code of the ending: its own, or dwRunCode for those that pass one on.
uint32_t RunOutcomeExitCode(RunOutcome eOutcome, uint32_t dwRunCode);
