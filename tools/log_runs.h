// The launcher runs a set of logs holds. Lines come in the order of their
// time; a run's lines share its thread id: its setup-log lines from its
// start line (or, in logs of launchers that wrote none, its first line) to
// its "exit code N: ..." line, and its module-log lines written meanwhile.
// Runs of launchers that ran at the same time interleave in the files and
// are told apart by their thread ids.
#pragma once

#include "log_lines.h"

#include <string>
#include <vector>

enum RunLauncher { RUN_BY_EITHER, RUN_BY_SETUP, RUN_BY_LITE };

enum RunEnding {
    RUN_ENDED_NOT,     // no ending in the logs: cut off, or still running
    RUN_INSTALLED,     // the inner installer ran and has ended
    RUN_REFUSED,       // a start check or the password gate stopped it
    RUN_INSTALL_ERROR, // the install sequence failed with an error number
};

struct RunLine {
    uint64_t ullTime;
    std::string text; // as the log has it, "[DTL] " before a detail line's
};

// The run's lines of one module log: how many, and the last RUN_MODULE_TAIL.
const size_t RUN_MODULE_TAIL = 3;
const size_t RUN_SETUP_TAIL = 12;
struct RunModule {
    std::string name;
    uint64_t ullLines;
    std::vector<RunLine> tail;
    size_t iOldest; // while the run is read, tail is a ring that starts here
};

struct LogRun {
    uint64_t ullStart, ullEnd; // the times of its first and last line
    uint32_t dwThread;
    RunLauncher eLauncher;
    RunEnding eEnding;
    uint32_t dwCode;     // RUN_INSTALLED: the installer's exit code; RUN_INSTALL_ERROR: the number
    int bCodeKnown;      // RUN_INSTALLED: the launcher read the installer's code
    int bExitCode;       // its "exit code N" line was seen
    uint32_t dwExitCode; // the launcher's own exit code
    std::string why;     // RUN_REFUSED: the refusal, as the launcher logged it
    // The setup-log lines beyond those that say how it started and ended:
    // the last RUN_SETUP_TAIL of them, and how many came before.
    std::vector<RunLine> lines;
    uint64_t ullLinesLeftOut;
    size_t iOldestLine; // as RunModule::iOldest
    std::vector<RunModule> modules;
    // Where the grouping stands.
    int bAfterExitMain;    // setup's last step: only the exit code follows
    int bSuperseded;       // a later run of its thread has begun
    int bInstallerEnded;   // the inner installer was followed to its end
    int bCodeUnread;       // ...but its exit code could not be read
    uint64_t ullLastOrder; // order of its last line among all lines
};

struct RunBook;
// pfnRun gets each run once all of its lines are in, in the order the runs
// started.
RunBook* runs_New(void (*pfnRun)(void* pCtx, const LogRun* pRun), void* pCtx);
void runs_SetupLine(RunBook* pBook, const LogLine* pLine);
void runs_ModuleLine(RunBook* pBook, const char* pszModule, const LogLine* pLine);
// After the last line: the runs still open are handed out as they are.
void runs_Finish(RunBook* pBook);
// Module-log lines that fell in no run (a module line of a thread that no
// setup-log line names at that time).
uint64_t runs_LinesOfNoRun(const RunBook* pBook);
void runs_Free(RunBook** ppBook);
