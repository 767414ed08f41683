// The launcher runs a set of logs holds. Lines come in the order of their
// time; a run's lines share its thread id: its setup-log lines from its
// start line (or, in logs of launchers that wrote none, its first line) to
// its "exit code N: ..." line, and its module-log lines written meanwhile.
// Runs of launchers that ran at the same time interleave in the files and
// are told apart by their thread ids. What a run's lines say is taken as
// they say it: a run without its exit-code line has not ended as far as the
// logs tell, and a cut line is kept as cut, never read as a line.
#pragma once

#include "log_lines.h"
#include "log_steps.h"

#include <string>
#include <vector>

enum RunLauncher { RUN_BY_EITHER, RUN_BY_SETUP, RUN_BY_LITE };

enum RunEnding {
    RUN_ENDED_NOT,           // no ending in the logs: killed, still running, or the log was cut
    RUN_ENDED_INSTALLER,     // the inner installer ran and has ended
    RUN_ENDED_REFUSED,       // a start check or the password gate stopped it
    RUN_ENDED_INSTALL_ERROR, // the install sequence failed with an error number
    RUN_ENDED_OTHER,         // an exit code whose meaning this tool does not know
};

struct RunLine {
    uint64_t ullTime;
    uint64_t ullOrder; // among all lines read, so that kept lines of several steps merge in order
    std::string text;  // as the log has it, "[DTL] " before a detail line's
};

// The run's lines of one step in one log: how many, and the last few.
const size_t RUN_MODULE_TAIL = 3;
const size_t RUN_SETUP_TAIL = 12;
struct RunLines {
    RunStep eStep;
    uint64_t ullLines;
    std::vector<RunLine> tail; // in order once the run is handed out
    size_t iOldest;            // while the run is read, tail is a ring that starts here
};
struct RunModule {
    std::string name; // as the reader names the file's module ("stp_UtlFile")
    std::vector<RunLines> steps;
};

// What the run's first line says about who ran what; empty where the
// launcher did not say (older launchers wrote "setup starts." alone).
struct RunHeader {
    std::string version, user, session, elevation, desktop, commandLine, arguments;
};

struct LogRun {
    uint64_t ullStart, ullEnd; // the times of its first and last line
    uint32_t dwThread;
    RunLauncher eLauncher;
    int bStartLine; // its start line is in the logs: a launcher that logs its exit code
    RunHeader header;
    RunEnding eEnding;
    RunOutcome eOutcome; // the ending its exit code or refusal names; RUN_OUTCOME_COUNT if none
    uint32_t dwError;    // RUN_ENDED_INSTALL_ERROR: the number
    uint32_t dwInstallerCode;
    int bCodeKnown;      // the inner installer's own exit code is in the log
    int bExitCode;       // its "exit code N" line was seen
    uint32_t dwExitCode; // the launcher's own exit code
    std::string
        why; // RUN_ENDED_REFUSED: the refusal as logged; RUN_ENDED_OTHER: the exit code's meaning
    // How far it got.
    RunStep eLastStep;   // the step of its last line that this tool knows
    int bInstallerEnded; // the inner installer was followed to its end
    int bCodeUnread;     // ...but its exit code could not be read
    int bFlagSet;        // setup-lite: the inner installer set SetupFlag
    int bFlagNotSet;     // setup-lite: it ended without setting it
    int bAfterExitMain;  // setup's last step: only the exit code follows
    std::string cutLine; // its last setup-log line that the log holds only in part
    uint64_t ullCutTime;
    // The lines that are not routine, by step: the setup log's, and each module log's.
    std::vector<RunLines> setupSteps;
    std::vector<RunModule> modules;
    // Where the grouping stands.
    int bSuperseded;       // a later run of its thread has begun
    uint64_t ullLastOrder; // order of its last line among all lines
};

struct RunBook;
// pfnRun gets each run once all of its lines are in, in the order the runs
// started.
RunBook* runs_New(void (*pfnRun)(void* pCtx, const LogRun* pRun), void* pCtx);
// A line of a setup log, or of a module log (pszModule its name). A line
// that the log holds only in part (bPartial) is kept as the run's cut line.
void runs_SetupLine(RunBook* pBook, const LogLine* pLine);
void runs_ModuleLine(RunBook* pBook, const char* pszModule, const LogLine* pLine);
// After the last line: the runs still open are handed out as they are.
void runs_Finish(RunBook* pBook);
// Module-log lines that fell in no run (a module line of a thread that no
// setup-log line names at that time).
uint64_t runs_LinesOfNoRun(const RunBook* pBook);
void runs_Free(RunBook** ppBook);
