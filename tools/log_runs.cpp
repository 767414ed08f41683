// Groups the lines of the logs into launcher runs and reads each run's
// ending from its own lines: the refusal, the failed install's number, the
// inner installer followed to its end, and the exit code. A run is handed
// out once nothing more can belong to it: its exit code is in and the
// lines have moved past that second (module lines of the same second may
// still follow), or a new run of its thread has begun.
#include "log_runs.h"
#include "run_log_lines.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <deque>
#include <unordered_map>

namespace
{

// Runs waiting behind one that has not ended; beyond this the oldest is
// handed out unended, so that a log of endless refusals behind a run that
// never ended cannot take all memory.
const size_t kMaxWaiting = 100000;

int StartsWith(const char* psz, const char* pszPrefix, const char** ppszRest)
{
    size_t cch = strlen(pszPrefix);
    if (strncmp(psz, pszPrefix, cch) != 0)
        return 0;
    *ppszRest = psz + cch;
    return 1;
}

// A decimal number as the launchers print "%u", then pszAfter.
int Number(const char* psz, const char* pszAfter, uint32_t* pdw, const char** ppszRest)
{
    if (*psz < '0' || *psz > '9')
        return 0;
    char* pszEnd = NULL;
    unsigned long long ull = strtoull(psz, &pszEnd, 10);
    if (ull > 0xFFFFFFFFull || !StartsWith(pszEnd, pszAfter, ppszRest))
        return 0;
    *pdw = (uint32_t)ull;
    return 1;
}

// The text without the full stop the launchers end their lines with.
std::string Sentence(const char* psz)
{
    size_t cch = strlen(psz);
    return std::string(psz, cch > 0 && psz[cch - 1] == '.' ? cch - 1 : cch);
}

// "setup starts." alone (launchers before the header), or followed by the
// header: " version ...".
static int IsStartOf(const char* pszText, const char* pszStart)
{
    size_t cch = strlen(pszStart);
    return strncmp(pszText, pszStart, cch) == 0 &&
           (pszText[cch] == '\0' ||
            strncmp(pszText + cch, RUN_LOG_HEADER_VERSION, strlen(RUN_LOG_HEADER_VERSION)) == 0);
}

int IsStartLine(const char* pszText, RunLauncher* peLauncher)
{
    if (IsStartOf(pszText, RUN_LOG_SETUP_NAME RUN_LOG_STARTS))
        *peLauncher = RUN_BY_SETUP;
    else if (IsStartOf(pszText, RUN_LOG_LITE_NAME RUN_LOG_STARTS))
        *peLauncher = RUN_BY_LITE;
    else
        return 0;
    return 1;
}

int IsExitCodeLine(const char* pszText)
{
    const char* pszRest;
    uint32_t dw;
    return StartsWith(pszText, RUN_LOG_EXIT_CODE, &pszRest) && Number(pszRest, ": ", &dw, &pszRest);
}

// A kept line takes the place of the oldest once there are nMax: a run with
// a million module lines costs no more than one with three, and a line's
// text reuses the room of the one it replaces.
void KeepLast(std::vector<RunLine>* pTail, size_t* piOldest, size_t nMax, const LogLine* pLine)
{
    RunLine* pKept;
    if (pTail->size() < nMax) {
        pTail->push_back(RunLine());
        pKept = &pTail->back();
    } else {
        pKept = &(*pTail)[*piOldest];
        *piOldest = (*piOldest + 1) % nMax;
    }
    pKept->ullTime = pLine->ullTime;
    pKept->text.assign(pLine->bDetail ? "[DTL] " : "");
    pKept->text.append(pLine->pszText, pLine->cchText);
    if (pLine->bCut)
        pKept->text += " ...";
}

void InOrder(std::vector<RunLine>* pTail, size_t* piOldest)
{
    std::rotate(pTail->begin(), pTail->begin() + *piOldest, pTail->end());
    *piOldest = 0;
}

// Its exit code ends the run; how, its earlier lines have said.
void TakeExitCode(LogRun* pRun, uint32_t dwExit, const char* pszMeaning)
{
    pRun->bExitCode = 1;
    pRun->dwExitCode = dwExit;
    if (pRun->eEnding != RUN_ENDED_NOT)
        return;
    if (pRun->bInstallerEnded) {
        pRun->eEnding = RUN_INSTALLED;
        pRun->dwCode = dwExit;
        pRun->bCodeKnown = !pRun->bCodeUnread;
    } else { // the password gate's endings have no line of their own
        pRun->eEnding = RUN_REFUSED;
        pRun->why = Sentence(pszMeaning);
    }
}

void KeepLine(LogRun* pRun, const LogLine* pLine)
{
    pRun->ullLinesLeftOut += pRun->lines.size() == RUN_SETUP_TAIL;
    KeepLast(&pRun->lines, &pRun->iOldestLine, RUN_SETUP_TAIL, pLine);
}

} // namespace

struct RunBook {
    void (*pfnRun)(void* pCtx, const LogRun* pRun);
    void* pCtx;
    std::deque<LogRun*> waiting;                  // in the order they started
    std::unordered_map<uint32_t, LogRun*> latest; // each thread's latest run still waiting
    LogRun* pLastFound; // the run of the last line's thread, found again at once
    uint64_t ullOrder, ullNow, ullNoRun;
};

namespace
{

// Nothing more can come for the run: a later run of its thread has begun,
// or its exit code is in and the lines have left that second (module lines
// of the same second may still be its own).
int IsComplete(const RunBook* pBook, const LogRun* pRun)
{
    return pRun->bSuperseded || (pRun->bExitCode && pBook->ullNow > pRun->ullEnd);
}

// The latest run of a thread, or NULL. Lines come in long stretches of one
// thread, so the last answer is kept.
LogRun* LatestRun(RunBook* pBook, uint32_t dwThread)
{
    if (pBook->pLastFound != NULL && pBook->pLastFound->dwThread == dwThread)
        return pBook->pLastFound;
    auto it = pBook->latest.find(dwThread);
    pBook->pLastFound = it == pBook->latest.end() ? NULL : it->second;
    return pBook->pLastFound;
}

void HandOut(RunBook* pBook)
{
    LogRun* pRun = pBook->waiting.front();
    pBook->waiting.pop_front();
    if (pRun->eEnding == RUN_ENDED_NOT && pRun->bInstallerEnded) {
        pRun->eEnding = RUN_INSTALLED; // a launcher that logged no exit code
        pRun->bCodeKnown = 0;
    }
    InOrder(&pRun->lines, &pRun->iOldestLine);
    for (RunModule& module : pRun->modules)
        InOrder(&module.tail, &module.iOldest);
    if (!pRun->bSuperseded)
        pBook->latest.erase(pRun->dwThread);
    pBook->pLastFound = NULL;
    pBook->pfnRun(pBook->pCtx, pRun);
    delete pRun;
}

void HandOutComplete(RunBook* pBook)
{
    while (!pBook->waiting.empty()) {
        LogRun* pRun = pBook->waiting.front();
        if (!IsComplete(pBook, pRun) && pBook->waiting.size() <= kMaxWaiting)
            break;
        HandOut(pBook);
    }
}

LogRun* NewRun(RunBook* pBook, const LogLine* pLine)
{
    LogRun* pRun = new LogRun();
    pRun->ullStart = pRun->ullEnd = pLine->ullTime;
    pRun->dwThread = pLine->dwThread;
    pBook->waiting.push_back(pRun);
    LogRun*& pLatest = pBook->latest[pLine->dwThread];
    if (pLatest != NULL)
        pLatest->bSuperseded = 1;
    pLatest = pRun;
    pBook->pLastFound = pRun;
    return pRun;
}

// The run a setup-log line belongs to: its thread's open run, or a new one
// when the line starts a run or its thread's last run has ended.
LogRun* RunOfSetupLine(RunBook* pBook, const LogLine* pLine, int bStart)
{
    LogRun* pRun = LatestRun(pBook, pLine->dwThread);
    if (pRun != NULL && !bStart && !pRun->bExitCode &&
        !(pRun->bAfterExitMain && !IsExitCodeLine(pLine->pszText))) {
        if (pLine->ullTime > pRun->ullEnd) // a clock set back leaves the end where it was
            pRun->ullEnd = pLine->ullTime;
        return pRun;
    }
    return NewRun(pBook, pLine);
}

// What one setup-log line says about its run.
void TakeSetupLine(LogRun* pRun, const LogLine* pLine)
{
    const char* pszText = pLine->pszText;
    const char* pszRest;
    uint32_t dw;
    if (StartsWith(pszText, RUN_LOG_REFUSED, &pszRest)) {
        pRun->eEnding = RUN_REFUSED;
        pRun->why = Sentence(pszRest);
    } else if (StartsWith(pszText, RUN_LOG_INSTALL_FAILED, &pszRest) &&
               Number(pszRest, ".", &dw, &pszRest) && *pszRest == '\0') {
        pRun->eEnding = RUN_INSTALL_ERROR;
        pRun->dwCode = dw;
    } else if (StartsWith(pszText, RUN_LOG_EXIT_CODE, &pszRest) &&
               Number(pszRest, ": ", &dw, &pszRest)) {
        TakeExitCode(pRun, dw, pszRest);
    } else if (strcmp(pszText, RUN_LOG_EXIT_MAIN) == 0) {
        pRun->bAfterExitMain = 1;
        pRun->eLauncher = RUN_BY_SETUP;
    } else {
        if (StartsWith(pszText, RUN_LOG_INSTALLER_ENDED, &pszRest))
            pRun->bInstallerEnded = 1;
        else if (strcmp(pszText, RUN_LOG_INSTALLER_CODE_UNREAD) == 0)
            pRun->bCodeUnread = 1;
        else if (StartsWith(pszText, RUN_LOG_INSTALLER_STARTED, &pszRest) &&
                 pRun->eLauncher == RUN_BY_EITHER)
            pRun->eLauncher = strchr(pszRest, ',') ? RUN_BY_LITE : RUN_BY_SETUP;
        KeepLine(pRun, pLine);
    }
}

} // namespace

RunBook* runs_New(void (*pfnRun)(void* pCtx, const LogRun* pRun), void* pCtx)
{
    RunBook* pBook = new RunBook();
    pBook->pfnRun = pfnRun;
    pBook->pCtx = pCtx;
    return pBook;
}

void runs_SetupLine(RunBook* pBook, const LogLine* pLine)
{
    ++pBook->ullOrder;
    if (pLine->ullTime > pBook->ullNow)
        pBook->ullNow = pLine->ullTime;
    RunLauncher eLauncher = RUN_BY_EITHER;
    int bStart = IsStartLine(pLine->pszText, &eLauncher);
    LogRun* pRun = RunOfSetupLine(pBook, pLine, bStart);
    pRun->ullLastOrder = pBook->ullOrder;
    if (bStart)
        pRun->eLauncher = eLauncher;
    else
        TakeSetupLine(pRun, pLine);
    HandOutComplete(pBook);
}

void runs_ModuleLine(RunBook* pBook, const char* pszModule, const LogLine* pLine)
{
    ++pBook->ullOrder;
    if (pLine->ullTime > pBook->ullNow)
        pBook->ullNow = pLine->ullTime;
    LogRun* pRun = LatestRun(pBook, pLine->dwThread);
    if (pRun == NULL || pLine->ullTime < pRun->ullStart ||
        (pRun->bExitCode && pLine->ullTime > pRun->ullEnd)) {
        ++pBook->ullNoRun;
    } else {
        RunModule* pModule = NULL;
        for (RunModule& module : pRun->modules) {
            if (module.name == pszModule)
                pModule = &module;
        }
        if (pModule == NULL) {
            pRun->modules.push_back(RunModule{pszModule, 0, {}, 0});
            pModule = &pRun->modules.back();
        }
        ++pModule->ullLines;
        KeepLast(&pModule->tail, &pModule->iOldest, RUN_MODULE_TAIL, pLine);
    }
    HandOutComplete(pBook);
}

void runs_Finish(RunBook* pBook)
{
    while (!pBook->waiting.empty())
        HandOut(pBook);
}

uint64_t runs_LinesOfNoRun(const RunBook* pBook)
{
    return pBook->ullNoRun;
}

void runs_Free(RunBook** ppBook)
{
    if (*ppBook == NULL)
        return;
    for (LogRun* pRun : (*ppBook)->waiting)
        delete pRun;
    delete *ppBook;
    *ppBook = NULL;
}
