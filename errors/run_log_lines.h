// The setup-log lines that frame a launcher run: where it starts, how it
// ends and the steps that tell which launcher it is, and where the logs are.
// The launchers write them and `setuptool log` reads them back, so each
// text is written here once. Portable: no Windows headers.
#pragma once

// The folder the launchers log into, and the tag of a folder they set aside
// there ("c:\KelvoLog.untrusted.<n>").
#define RUN_LOG_DIR_NAME "KelvoLog"
#define RUN_LOG_DIR "c:\\" RUN_LOG_DIR_NAME
#define RUN_LOG_ASIDE_TAG "untrusted"

#define RUN_LOG_SETUP_NAME "setup"
#define RUN_LOG_LITE_NAME "setup-lite"

// The run's first line: "setup starts." or "setup-lite starts."
#define RUN_LOG_STARTS " starts."
// A start refused by a check, before its box: "start refused: <meaning>."
// (with ", err E" before the full stop when a system error says why).
#define RUN_LOG_REFUSED "start refused: "
// A failed install sequence: "install failed with Err N."
#define RUN_LOG_INSTALL_FAILED "install failed with Err "
// The inner installer was followed to its end: "is-stp ended at N."
#define RUN_LOG_INSTALLER_ENDED "is-stp ended at "
// The wait for the inner installer's start: setup writes "is-stp started
// at N", setup-lite "is-stp started at N, F." (F: the registration tool ran).
#define RUN_LOG_INSTALLER_STARTED "is-stp started at "
#define RUN_LOG_INSTALLER_CODE_UNREAD                                                              \
    "The inner installer's exit code cannot be read; 0 is passed on."
// The seal's check of the own package, before anything extracted starts:
// "ExtractPackage: the setup file is damaged: its seal expects XXH32 E, the
// package has F." (or its length, or its seal cannot be read), and the box
// that says so; a setup built before the seal logs RUN_LOG_NO_SEAL.
#define RUN_LOG_DAMAGED "ExtractPackage: the setup file is damaged: "
#define RUN_LOG_NO_SEAL                                                                            \
    "ExtractPackage: this setup carries no seal, so a damaged copy cannot be told."
#define RUN_LOG_CANCELLED "ExtractPackage: the extraction was cancelled in its progress window."
#define RUN_LOG_PROGRESS_SHOWN "ExtractPackage: the progress window is shown."
#define RUN_DAMAGED_BOX_TEXT "This setup file is damaged. Please download it again."
// setup's last step before the exit code.
#define RUN_LOG_EXIT_MAIN "Exit main"
// Every run's last line: "exit code N: <meaning>."
#define RUN_LOG_EXIT_CODE "exit code "
