// The error catalogue: for every error number of error_numbers.h, its name,
// the layers that set it, what it means, what to do about it, and the log
// lines that come with it; what to do about the launchers' other endings;
// and the inner installer's exit codes that it can name. The tools print
// its meanings (and can add what to do) by number; docs/errors.md is made
// from it (errors/error_page.cpp).
// Only the tools link it: the launchers need the numbers, not the texts.
// Portable: no Windows headers.
#pragma once

#include "error_numbers.h"
#include "run_outcomes.h"

#include <stddef.h>
#include <stdint.h>

// Who sets a number. One number has one meaning wherever it is set: 1001 is
// the file utilities' and the customisation value's "the file to be changed
// does not exist".
enum ErrLayer : unsigned {
    ERR_LAYER_LAUNCHER = 1u << 0,
    ERR_LAYER_PACKAGE = 1u << 1,
    ERR_LAYER_VRF = 1u << 2,
    ERR_LAYER_CUSTOM_VALUE = 1u << 3,
    ERR_LAYER_CUSTOM_SET = 1u << 4,
    ERR_LAYER_FILE_UTIL = 1u << 5,
};

struct ErrorEntry {
    uint32_t dwNumber;
    const char* pszName; // the constant's name in error_numbers.h
    unsigned uLayers;    // ErrLayer bits
    // Plain text, as the tools print them: the meaning after "error N: ",
    // what to do as a sentence or two of its own.
    const char* pszMeaning;
    const char* pszWhatToDo;
    // For the error page (Markdown): the log lines that come with it; "" for none.
    const char* pszLogLines;
};

// The exit code that goes with a layer's numbers.
enum ErrExit {
    ERR_EXIT_NUMBER, // a launcher that ends with the number exits with it (setuptool with 1)
    ERR_EXIT_TOOL,   // only setuptool shows it, and exits with 1
    ERR_EXIT_NONE,   // a library result that no program ends with
};

// A layer's numbers: the title of their part of the error page, and where
// they show (Markdown).
struct ErrorLayerInfo {
    unsigned uLayer;
    ErrExit eExit;
    const char* pszTitle;
    const char* pszWhere;
};

// The entry of one of our numbers; NULL for any other (a system's code).
const ErrorEntry* err_Find(uint32_t dwNumber);
// Its meaning, or what it is when the catalogue does not know it: never NULL.
const char* err_Meaning(uint32_t dwNumber);
// What to do about it; "" for a number the catalogue does not know.
const char* err_WhatToDo(uint32_t dwNumber);
// What the release tools say to do about it where they meet it: the same,
// but for the numbers whose advice speaks of what only a launcher has (drive
// C:, its work directory, the log lines it writes).
const char* err_ToolWhatToDo(uint32_t dwNumber);
// The exit code of a launcher that ends with the number: the number itself
// for the launchers' and the package's; 0 for one that no launcher ends with.
uint32_t err_LauncherExitCode(uint32_t dwNumber);

// Every entry in ascending order of number, and every layer in the order
// of the error page.
const ErrorEntry* err_Entries(size_t* pcEntries);
const ErrorLayerInfo* err_Layers(size_t* pcLayers);

// What to do about an ending that is not a failed install (a refused start,
// the password gate's endings): one sentence or two. An ending without its
// own advice gets that of its exit code; "" for the endings that pass a code
// of the run on, whose advice is the code's.
const char* err_EndingWhatToDo(RunOutcome eOutcome);

// An exit code of the inner installer that says more than "a failure of its
// own": a crash's exception code (an NTSTATUS, as Windows ends a process with
// it), or a code of Windows Installer, which many installers return.
struct InstallerCode {
    uint32_t dwCode;
    const char* pszName; // the system's name: STATUS_ACCESS_VIOLATION, ERROR_INSTALL_FAILURE
    const char* pszMeaning;
    const char* pszWhatToDo;
};
// The code's entry; NULL for one the catalogue does not name.
const InstallerCode* err_FindInstallerCode(uint32_t dwCode);
const InstallerCode* err_InstallerCodes(size_t* pcCodes);
// What to do about an inner installer that ended with a code of its own that
// the catalogue does not name, and where its own log is.
const char* err_InstallerWhatToDo();
const char* err_InstallerLog();
