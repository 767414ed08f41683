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

// The run's first line: "setup starts." or "setup-lite starts.", which
// older launchers wrote alone. A launcher goes on in the same line with who
// runs what, the fields in this order, each after "; ":
//   setup starts. version 5.1.0.12; user KELVO\ren; session 1; elevated;
//   interactive desktop; command line: "C:\x\setup.exe" /quiet; arguments
//   are not used: /quiet
// The command line as given comes last but for the arguments, which are
// named only when there are any (the launchers act on none).
#define RUN_LOG_STARTS " starts."
#define RUN_LOG_HEADER_VERSION " version "
#define RUN_LOG_HEADER_SEPARATOR "; "
#define RUN_LOG_HEADER_USER "user "
#define RUN_LOG_HEADER_SESSION "session "
#define RUN_LOG_HEADER_ELEVATED "elevated"
#define RUN_LOG_HEADER_NOT_ELEVATED "not elevated"
#define RUN_LOG_HEADER_ELEVATION_UNKNOWN "elevation unknown" // before Vista
#define RUN_LOG_HEADER_DESKTOP "interactive desktop"
#define RUN_LOG_HEADER_NO_DESKTOP "no interactive desktop"
#define RUN_LOG_HEADER_COMMAND_LINE "command line: "
#define RUN_LOG_HEADER_ARGUMENTS "arguments are not used: "

// A start refused by a check, before its box: "start refused: <meaning>."
// (with ", err E" before the full stop when a system error says why).
#define RUN_LOG_REFUSED "start refused: "
// The refusal of a start while the inner installer of an earlier run still
// runs: "another install is still running: <process name> (process <pid>)."
#define RUN_LOG_INSTALL_STILL_RUNNING "another install is still running: "
// A failed install sequence: "install failed with Err N."
#define RUN_LOG_INSTALL_FAILED "install failed with Err "
// After a failed extraction, what became of the files it wrote: "the files
// of the failed extraction are removed: N bytes freed." (or that some could
// not be removed). Part of the extraction step, never its cause.
#define RUN_LOG_FAILED_EXTRACTION "the files of the failed extraction "
#define RUN_LOG_FAILED_EXTRACTION_REMOVED RUN_LOG_FAILED_EXTRACTION "are removed: "
// The inner installer was followed to its end: "is-stp ended at N."
#define RUN_LOG_INSTALLER_ENDED "is-stp ended at "
// setup-lite names the inner installer's own exit code once it has gone:
// "the inner installer ended with code N." (N decimal).
#define RUN_LOG_INSTALLER_CODE "the inner installer ended with code "
// The wait for the inner installer's start: setup writes "is-stp started
// at N", setup-lite "is-stp started at N, F." (F: the registration tool ran).
#define RUN_LOG_INSTALLER_STARTED "is-stp started at "
#define RUN_LOG_INSTALLER_CODE_UNREAD                                                              \
    "The inner installer's exit code cannot be read; 0 is passed on."
// The seal's check of the own package, before anything extracted starts:
// "ExtractPackage: the setup file is damaged: its seal expects XXH3 E, the
// package has F." (digests in 16 hexadecimal digits; or its length, or its
// seal cannot be read), and the box that says so; a setup built before the
// seal logs RUN_LOG_NO_SEAL.
#define RUN_LOG_DAMAGED "ExtractPackage: the setup file is damaged: "
// A setup whose package is the one sealed: "ExtractPackage: the seal
// matches: XXH3 D of N bytes."
#define RUN_LOG_SEAL_MATCHES "ExtractPackage: the seal matches: "
#define RUN_LOG_NO_SEAL                                                                            \
    "ExtractPackage: this setup carries no seal, so a damaged copy cannot be told."
#define RUN_LOG_CANCELLED "ExtractPackage: the extraction was cancelled in its progress window."
#define RUN_LOG_PROGRESS_SHOWN "ExtractPackage: the progress window is shown."
#define RUN_DAMAGED_BOX_TEXT "This setup file is damaged. Please download it again."
// setup-lite follows the inner installer through "SetupFlag".
#define RUN_LOG_FLAG_SET "setupflag is set."
#define RUN_LOG_FLAG_NOT_SET "setupflag is not set."
#define RUN_LOG_INSTALLER_GONE "setup-process is out."
// setup's last step before the exit code.
#define RUN_LOG_EXIT_MAIN "Exit main"
// Every run's last line: "exit code N: <meaning>."
#define RUN_LOG_EXIT_CODE "exit code "
