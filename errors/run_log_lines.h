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

// The run's first line names the launcher and says who ran what, where:
//   setup starts. version 5.1.301.1; user PC\bob; session 1; elevated;
//   interactive desktop; command line: "C:\dl\setup.exe" /quiet; arguments
//   are not used: /quiet
// (one line; the last part only when there are arguments). Launchers before
// it wrote "setup starts." (or "setup-lite starts.") alone.
#define RUN_LOG_STARTS " starts."
#define RUN_LOG_HEADER_VERSION " version "
#define RUN_LOG_HEADER_USER "; user "
#define RUN_LOG_HEADER_SESSION "; session "
#define RUN_LOG_HEADER_ELEVATED "; elevated"
#define RUN_LOG_HEADER_NOT_ELEVATED "; not elevated"
#define RUN_LOG_HEADER_ELEVATION_UNKNOWN "; elevation unknown"
#define RUN_LOG_HEADER_DESKTOP "; interactive desktop"
#define RUN_LOG_HEADER_NO_DESKTOP "; no interactive desktop"
#define RUN_LOG_HEADER_COMMAND_LINE "; command line: "
#define RUN_LOG_HEADER_UNUSED_ARGS "; arguments are not used: "
// A start refused by a check, before its box: "start refused: <meaning>."
// (with ", err E" before the full stop when a system error says why).
#define RUN_LOG_REFUSED "start refused: "
// Before a start refused because an earlier run's inner installer still
// runs: "another install is still running: KelvoSetup.exe (process P)."
#define RUN_LOG_INSTALL_STILL_RUNNING "another install is still running: "
// A failed install sequence: "install failed with Err N."
#define RUN_LOG_INSTALL_FAILED "install failed with Err "
// After an extraction that failed, what of it was removed: "the files of
// the failed extraction are removed: N bytes freed." (", M bytes could not
// be removed." when some stayed).
#define RUN_LOG_FAILED_EXTRACTION_REMOVED "the files of the failed extraction are removed: "
// The inner installer was followed to its end: "is-stp ended at N."
#define RUN_LOG_INSTALLER_ENDED "is-stp ended at "
// The wait for the inner installer's start: setup writes "is-stp started
// at N", setup-lite "is-stp started at N, F." (F: the registration tool ran).
#define RUN_LOG_INSTALLER_STARTED "is-stp started at "
// setup-lite's line of the inner installer's own code, which is not always
// its exit code: "the inner installer ended with code N."
#define RUN_LOG_INSTALLER_CODE "the inner installer ended with code "
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
