// Groups the lines of the logs into launcher runs and reads each run's
// ending from its own lines: the refusal, the failed install's number, the
// inner installer followed to its end, and the exit code, whose meaning
// names the ending. A run is handed out once nothing more can belong to it:
// its exit code is in and the lines have moved past that second (module
// lines of the same second may still follow), or a new run of its thread
// has begun.
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

// "setup starts." alone, or followed by who runs what (*ppszHeader).
int IsStartLine(const char* pszText, RunLauncher* peLauncher, const char** ppszHeader)
{
    const char* pszRest;
    if (StartsWith(pszText, RUN_LOG_SETUP_NAME RUN_LOG_STARTS, &pszRest))
        *peLauncher = RUN_BY_SETUP;
    else if (StartsWith(pszText, RUN_LOG_LITE_NAME RUN_LOG_STARTS, &pszRest))
        *peLauncher = RUN_BY_LITE;
    else
        return 0;
    *ppszHeader = pszRest;
    return *pszRest == '\0' ||
           strncmp(pszRest, RUN_LOG_HEADER_VERSION, strlen(RUN_LOG_HEADER_VERSION)) == 0;
}

// The command line as given, and the arguments named after it: they end
// the command line, which may itself hold the words that name them.
void TakeCommandLine(const std::string& text, int bCut, RunHeader* pHeader)
{
    const std::string mark = RUN_LOG_HEADER_SEPARATOR RUN_LOG_HEADER_ARGUMENTS;
    size_t iSplit = std::string::npos;
    for (size_t i = text.rfind(mark); i != std::string::npos;
         i = i > 0 ? text.rfind(mark, i - 1) : std::string::npos) {
        size_t cchArgs = text.size() - i - mark.size();
        if (i >= cchArgs &&
            text.compare(i - cchArgs, cchArgs, text, i + mark.size(), cchArgs) == 0) {
            iSplit = i;
            break;
        }
    }
    // In a line cut short the arguments are cut too: the last mark is theirs.
    if (iSplit == std::string::npos && bCut)
        iSplit = text.rfind(mark);
    pHeader->commandLine = text.substr(0, iSplit);
    pHeader->arguments = iSplit == std::string::npos ? "" : text.substr(iSplit + mark.size());
}

int TakeField(const std::string& field, const char* pszLabel, std::string* pValue)
{
    size_t cch = strlen(pszLabel);
    if (field.compare(0, cch, pszLabel) != 0)
        return 0;
    *pValue = field.substr(cch);
    return 1;
}

// " version 5.1.0.12; user KELVO\ren; session 1; elevated; interactive
// desktop; command line: ...": each field by its own words, so that a field
// left out or one of a newer launcher changes nothing of the others.
void TakeHeader(const char* pszHeader, int bCut, RunHeader* pHeader)
{
    const char* pszRest;
    if (!StartsWith(pszHeader, RUN_LOG_HEADER_VERSION, &pszRest))
        return;
    std::string text = pszRest;
    const std::string sep = RUN_LOG_HEADER_SEPARATOR;
    const std::string command = sep + RUN_LOG_HEADER_COMMAND_LINE;
    size_t iCommand = text.find(command);
    if (iCommand != std::string::npos)
        TakeCommandLine(text.substr(iCommand + command.size()), bCut, pHeader);
    std::string fields = text.substr(0, iCommand);
    for (size_t iField = 0, iEnd = 0; iEnd != std::string::npos; iField = iEnd + sep.size()) {
        iEnd = fields.find(sep, iField);
        std::string field = fields.substr(iField, iEnd - iField);
        if (iField == 0)
            pHeader->version = field;
        else if (field == RUN_LOG_HEADER_ELEVATED || field == RUN_LOG_HEADER_NOT_ELEVATED)
            pHeader->elevation = field;
        else if (field == RUN_LOG_HEADER_DESKTOP || field == RUN_LOG_HEADER_NO_DESKTOP)
            pHeader->desktop = field;
        else if (!TakeField(field, RUN_LOG_HEADER_USER, &pHeader->user))
            TakeField(field, RUN_LOG_HEADER_SESSION, &pHeader->session);
    }
}

int IsExitCodeLine(const char* pszText)
{
    const char* pszRest;
    uint32_t dw;
    return StartsWith(pszText, RUN_LOG_EXIT_CODE, &pszRest) && Number(pszRest, ": ", &dw, &pszRest);
}

// The ending an exit-code line names: its meaning is the ending's, word for
// word, with the full stop.
RunOutcome OutcomeOfMeaning(const char* pszMeaning)
{
    for (int i = 0; i < RUN_OUTCOME_COUNT; ++i) {
        const char* psz = RunOutcomeMeaning((RunOutcome)i);
        size_t cch = strlen(psz);
        if (strncmp(pszMeaning, psz, cch) == 0 && strcmp(pszMeaning + cch, ".") == 0)
            return (RunOutcome)i;
    }
    return RUN_OUTCOME_COUNT;
}

// The refusal a "start refused:" line names: its meaning, then the end or
// what the launcher added (", err E").
RunOutcome OutcomeOfRefusal(const std::string& why)
{
    for (int i = 0; i < RUN_OUTCOME_COUNT; ++i) {
        const char* psz = RunOutcomeMeaning((RunOutcome)i);
        size_t cch = strlen(psz);
        if (why.compare(0, cch, psz) == 0 &&
            (why.size() == cch || why[cch] == ',' || why[cch] == ':' || why[cch] == ';'))
            return (RunOutcome)i;
    }
    return RUN_OUTCOME_COUNT;
}

// A kept line takes the place of the oldest once there are nMax: a run with
// a million module lines costs no more than one with three, and a line's
// text reuses the room of the one it replaces.
void KeepLast(RunLines* pLines, size_t nMax, const LogLine* pLine, uint64_t ullOrder)
{
    ++pLines->ullLines;
    RunLine* pKept;
    if (pLines->tail.size() < nMax) {
        pLines->tail.push_back(RunLine());
        pKept = &pLines->tail.back();
    } else {
        pKept = &pLines->tail[pLines->iOldest];
        pLines->iOldest = (pLines->iOldest + 1) % nMax;
    }
    pKept->ullTime = pLine->ullTime;
    pKept->ullOrder = ullOrder;
    pKept->text.assign(pLine->bDetail ? "[DTL] " : "");
    pKept->text.append(pLine->pszText, pLine->cchText);
    if (pLine->bCut)
        pKept->text += " ...";
}

// The line in its step's lines; routine lines are not kept.
void KeepByStep(std::vector<RunLines>* pSteps, size_t nMax, const LogLine* pLine,
                LineMeaning meaning, uint64_t ullOrder)
{
    if (meaning.bRoutine)
        return;
    RunLines* pLines = NULL;
    for (RunLines& lines : *pSteps) {
        if (lines.eStep == meaning.eStep)
            pLines = &lines;
    }
    if (pLines == NULL) {
        pSteps->push_back(RunLines{meaning.eStep, 0, {}, 0});
        pLines = &pSteps->back();
    }
    KeepLast(pLines, nMax, pLine, ullOrder);
}

void InOrder(std::vector<RunLines>* pSteps)
{
    for (RunLines& lines : *pSteps) {
        std::rotate(lines.tail.begin(), lines.tail.begin() + lines.iOldest, lines.tail.end());
        lines.iOldest = 0;
    }
}

// Its exit code ends the run, as its meaning says; the password gate's
// endings have no line of their own before it.
void TakeExitCode(LogRun* pRun, uint32_t dwExit, const char* pszMeaning)
{
    pRun->bExitCode = 1;
    pRun->dwExitCode = dwExit;
    RunOutcome eOutcome = OutcomeOfMeaning(pszMeaning);
    if (eOutcome == RUN_OUTCOME_COUNT) {
        if (pRun->eEnding == RUN_ENDED_NOT) {
            pRun->eEnding = RUN_ENDED_OTHER;
            pRun->why = Sentence(pszMeaning);
        }
        return;
    }
    pRun->eOutcome = eOutcome;
    if (eOutcome == RUN_INSTALLER_ENDED) {
        pRun->eEnding = RUN_ENDED_INSTALLER;
        if (!pRun->bCodeKnown && !pRun->bCodeUnread) {
            pRun->dwInstallerCode = dwExit;
            pRun->bCodeKnown = 1;
        }
    } else if (eOutcome == RUN_INSTALL_FAILED) {
        pRun->eEnding = RUN_ENDED_INSTALL_ERROR;
        pRun->dwError = dwExit;
    } else {
        pRun->eEnding = RUN_ENDED_REFUSED;
        if (pRun->why.empty())
            pRun->why = Sentence(pszMeaning);
    }
}

// A line that tells how far the run got: the process checks fail inside
// whichever step waits.
int IsStep(RunStep eStep)
{
    return eStep != STEP_UNKNOWN && eStep != STEP_PROCESS_CHECK;
}

// What a line of the run's steps says of how far it got.
void TakeStepLine(LogRun* pRun, const char* pszText)
{
    const char* pszRest;
    uint32_t dw;
    if (StartsWith(pszText, RUN_LOG_INSTALLER_ENDED, &pszRest)) {
        pRun->bInstallerEnded = 1;
    } else if (StartsWith(pszText, RUN_LOG_INSTALLER_CODE, &pszRest) &&
               Number(pszRest, ".", &dw, &pszRest) && *pszRest == '\0') {
        pRun->bInstallerEnded = 1;
        pRun->dwInstallerCode = dw;
        pRun->bCodeKnown = 1;
    } else if (strcmp(pszText, RUN_LOG_INSTALLER_CODE_UNREAD) == 0) {
        pRun->bCodeUnread = 1;
    } else if (strcmp(pszText, RUN_LOG_FLAG_SET) == 0) {
        pRun->bFlagSet = 1;
    } else if (strcmp(pszText, RUN_LOG_FLAG_NOT_SET) == 0) {
        pRun->bFlagNotSet = 1;
    } else if (StartsWith(pszText, RUN_LOG_INSTALLER_STARTED, &pszRest) &&
               pRun->eLauncher == RUN_BY_EITHER) {
        pRun->eLauncher = strchr(pszRest, ',') ? RUN_BY_LITE : RUN_BY_SETUP;
    }
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

// A launcher that logged neither its start nor its exit code (an older
// one) has ended once its installer has and its last step is done: setup's
// "Exit main", setup-lite's end wait. A run with its start line has not
// ended without its exit code, whatever came before.
void EndOlderRun(LogRun* pRun)
{
    if (pRun->eEnding == RUN_ENDED_NOT && !pRun->bStartLine && pRun->bInstallerEnded &&
        (pRun->bAfterExitMain || pRun->eLauncher == RUN_BY_LITE))
        pRun->eEnding = RUN_ENDED_INSTALLER;
}

void HandOut(RunBook* pBook)
{
    LogRun* pRun = pBook->waiting.front();
    pBook->waiting.pop_front();
    EndOlderRun(pRun);
    InOrder(&pRun->setupSteps);
    for (RunModule& module : pRun->modules)
        InOrder(&module.steps);
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
    pRun->eOutcome = RUN_OUTCOME_COUNT;
    pRun->eLastStep = STEP_START;
    pBook->waiting.push_back(pRun);
    LogRun*& pLatest = pBook->latest[pLine->dwThread];
    if (pLatest != NULL)
        pLatest->bSuperseded = 1;
    pLatest = pRun;
    pBook->pLastFound = pRun;
    return pRun;
}

// The open run of the line's thread, whose end the line moves on; NULL when
// the thread has none (its last run has ended, or none began).
LogRun* OpenRun(RunBook* pBook, const LogLine* pLine)
{
    LogRun* pRun = LatestRun(pBook, pLine->dwThread);
    if (pRun == NULL || pRun->bExitCode ||
        (pRun->bAfterExitMain && !IsExitCodeLine(pLine->pszText)))
        return NULL;
    if (pLine->ullTime > pRun->ullEnd) // a clock set back leaves the end where it was
        pRun->ullEnd = pLine->ullTime;
    return pRun;
}

// What one setup-log line says about its run.
void TakeSetupLine(RunBook* pBook, LogRun* pRun, const LogLine* pLine)
{
    const char* pszText = pLine->pszText;
    const char* pszRest;
    uint32_t dw;
    if (StartsWith(pszText, RUN_LOG_REFUSED, &pszRest)) {
        pRun->eEnding = RUN_ENDED_REFUSED;
        pRun->why = Sentence(pszRest);
        pRun->eOutcome = OutcomeOfRefusal(pRun->why);
        pRun->eLastStep = STEP_REFUSAL;
    } else if (StartsWith(pszText, RUN_LOG_INSTALL_FAILED, &pszRest) &&
               Number(pszRest, ".", &dw, &pszRest) && *pszRest == '\0') {
        pRun->eEnding = RUN_ENDED_INSTALL_ERROR;
        pRun->dwError = dw;
    } else if (StartsWith(pszText, RUN_LOG_EXIT_CODE, &pszRest) &&
               Number(pszRest, ": ", &dw, &pszRest)) {
        TakeExitCode(pRun, dw, pszRest);
    } else if (strcmp(pszText, RUN_LOG_EXIT_MAIN) == 0) {
        pRun->bAfterExitMain = 1;
        pRun->eLauncher = RUN_BY_SETUP;
    } else {
        TakeStepLine(pRun, pszText);
        LineMeaning meaning = steps_OfLine(pszText);
        if (IsStep(meaning.eStep))
            pRun->eLastStep = meaning.eStep;
        KeepByStep(&pRun->setupSteps, RUN_SETUP_TAIL, pLine, meaning, pBook->ullOrder);
    }
}

// A line the log holds only in part is its run's, as far as its thread and
// time tell, but says nothing: what it would have said is not there.
void TakeCutLine(RunBook* pBook, const LogLine* pLine)
{
    LogRun* pRun = OpenRun(pBook, pLine);
    if (pRun == NULL)
        return;
    pRun->ullLastOrder = pBook->ullOrder;
    pRun->ullCutTime = pLine->ullTime;
    pRun->cutLine.assign(pLine->pszText, pLine->cchText);
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
    if (pLine->bPartial) {
        TakeCutLine(pBook, pLine);
        HandOutComplete(pBook);
        return;
    }
    RunLauncher eLauncher = RUN_BY_EITHER;
    const char* pszHeader = NULL;
    int bStart = IsStartLine(pLine->pszText, &eLauncher, &pszHeader);
    LogRun* pRun = bStart ? NULL : OpenRun(pBook, pLine);
    if (pRun == NULL)
        pRun = NewRun(pBook, pLine);
    pRun->ullLastOrder = pBook->ullOrder;
    if (bStart) {
        pRun->eLauncher = eLauncher;
        pRun->bStartLine = 1;
        TakeHeader(pszHeader, pLine->bCut, &pRun->header);
    } else {
        TakeSetupLine(pBook, pRun, pLine);
    }
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
    } else if (!pLine->bPartial) {
        RunModule* pModule = NULL;
        for (RunModule& module : pRun->modules) {
            if (module.name == pszModule)
                pModule = &module;
        }
        if (pModule == NULL) {
            pRun->modules.push_back(RunModule{pszModule, {}});
            pModule = &pRun->modules.back();
        }
        LineMeaning meaning = steps_OfLine(pLine->pszText);
        if (IsStep(meaning.eStep) && !pRun->bExitCode && pRun->eEnding == RUN_ENDED_NOT)
            pRun->eLastStep = meaning.eStep;
        KeepByStep(&pModule->steps, RUN_MODULE_TAIL, pLine, meaning, pBook->ullOrder);
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
