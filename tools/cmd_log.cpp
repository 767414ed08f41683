// setuptool log [<folder>...] [--codepage N]
// What the launchers' logs say about their runs, for support staff: one
// block per run, in the order the runs started, with its start, who ran it,
// its launcher and ending, and for a run that did not install the lines of
// the step that failed. The verdict is never better than the lines: a run
// is "installed" only when a line says the installer succeeded (its exit
// code, or setup-lite's flag). The exit code tells a script whether the run
// that ended last installed.
#include "error_catalogue.h"
#include "log_folder.h"
#include "log_runs.h"
#include "run_log_lines.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace
{

struct Report {
    uint32_t uCodePage;
    uint64_t ullRuns;
    uint64_t ullLinesOfNoRun;
    uint64_t ullLatestOrder; // the run that ended last: its last line's order
    uint64_t ullLatestRun;
    int bLatestInstalled;
    std::string latestEnding;
    std::vector<uint64_t> unended; // the runs with no ending in the log
};

// How a run ended, as the block and the last line say it.
struct Verdict {
    int bInstalled;
    std::string shortText; // "installed", "failed with 157"
    RunSteps explaining;   // the steps whose lines explain it
};

const char* LauncherName(RunLauncher eLauncher)
{
    switch (eLauncher) {
    case RUN_BY_SETUP:
        return "setup";
    case RUN_BY_LITE:
        return "setup-lite";
    default:
        return "setup or setup-lite";
    }
}

// The inner installer's codes that say it has done its work.
const char* DoneMeaning(uint32_t dwCode)
{
    switch (dwCode) {
    case 0:
        return "done";
    case 3010:
        return "done; a restart is needed";
    case 1641:
        return "done; the installer started the restart";
    default:
        return NULL;
    }
}

// A text from a log as the tool prints it: control bytes (a mailed log may
// hold any) as '?', the rest in the console's code page.
std::string Shown(const Report* pReport, const std::string& text)
{
    std::string clean = text;
    for (char& c : clean) {
        if ((unsigned char)c < 0x20 || c == 0x7F)
            c = '?';
    }
    static char s_szShown[4 * (LOG_TEXT_MAX + 16) + 1];
    tos_ShowText(clean.c_str(), pReport->uCodePage, s_szShown, sizeof s_szShown);
    return s_szShown;
}

std::string Number(const char* pszFormat, unsigned long long ull)
{
    char sz[64];
    snprintf(sz, sizeof sz, pszFormat, ull);
    return sz;
}

void PrintHeader(const Report* pReport, const LogRun* pRun, uint64_t ullNumber)
{
    char szStart[20], szEnd[20];
    log_FormatTime(pRun->ullStart, szStart);
    log_FormatTime(pRun->ullEnd, szEnd);
    std::string span = szStart;
    if (pRun->ullEnd != pRun->ullStart) // the end's date only when it is another day
        span += std::string(" to ") + (strncmp(szStart, szEnd, 10) == 0 ? szEnd + 11 : szEnd);
    printf("run %llu: %s, %s, thread %x\n", (unsigned long long)ullNumber, span.c_str(),
           LauncherName(pRun->eLauncher), (unsigned)pRun->dwThread);
    // Who ran it, as its first line says.
    const RunHeader& header = pRun->header;
    std::string who;
    const std::string fields[] = {header.version.empty() ? "" : "version " + header.version,
                                  header.user.empty() ? "" : "user " + header.user,
                                  header.session.empty() ? "" : "session " + header.session,
                                  header.elevation, header.desktop};
    for (const std::string& field : fields) {
        if (!field.empty())
            who += (who.empty() ? "" : "; ") + field;
    }
    if (!who.empty())
        printf("  launcher: %s\n", Shown(pReport, who).c_str());
    if (!header.arguments.empty())
        printf("  arguments are not used: %s\n", Shown(pReport, header.arguments).c_str());
}

// "1603 (ERROR_INSTALL_FAILURE: a fatal error during installation)", with
// the hexadecimal form that Windows names an exception code by.
std::string InstallerCodeText(uint32_t dwCode)
{
    const InstallerCode* pCode = err_FindInstallerCode(dwCode);
    char sz[32];
    std::string inner;
    if (dwCode >= 0x80000000u) {
        snprintf(sz, sizeof sz, "0x%08X", (unsigned)dwCode);
        inner = sz;
    }
    if (pCode != NULL)
        inner +=
            (inner.empty() ? "" : ", ") + std::string(pCode->pszName) + ": " + pCode->pszMeaning;
    snprintf(sz, sizeof sz, "%u", (unsigned)dwCode);
    return inner.empty() ? std::string(sz) : std::string(sz) + " (" + inner + ")";
}

void PrintInstallerAdvice(uint32_t dwCode)
{
    const InstallerCode* pCode = err_FindInstallerCode(dwCode);
    if (pCode != NULL)
        printf("  what to do: %s %s\n", pCode->pszWhatToDo, err_InstallerLog());
    else
        printf("  what to do: %s\n", err_InstallerWhatToDo());
}

// The inner installer ended with a code of its own that is no success.
void PrintInstallerFailure(const LogRun* pRun, Verdict* pVerdict)
{
    uint32_t dwCode = pRun->dwInstallerCode;
    const InstallerCode* pCode = err_FindInstallerCode(dwCode);
    printf("  failed: the inner installer ended with %s%s\n", InstallerCodeText(dwCode).c_str(),
           pCode != NULL ? "" : ", a failure of its own");
    PrintInstallerAdvice(dwCode);
    pVerdict->shortText = Number("the inner installer failed with %llu", dwCode);
    pVerdict->explaining = steps_OfInstallerFailure();
}

void PrintInstallerEnded(const LogRun* pRun, Verdict* pVerdict)
{
    const char* pszDone = pRun->bCodeKnown ? DoneMeaning(pRun->dwInstallerCode) : NULL;
    if (pRun->bFlagNotSet) {
        printf("  failed: the inner installer ended%s without setting SetupFlag, its report of "
               "success\n",
               pRun->bCodeKnown ? (" with " + InstallerCodeText(pRun->dwInstallerCode)).c_str()
                                : "");
        // A code that is not 0 says more than the flag does.
        if (pRun->bCodeKnown && pRun->dwInstallerCode != 0)
            PrintInstallerAdvice(pRun->dwInstallerCode);
        else
            printf("  what to do: %s\n", err_WhatToDo(LAUNCH_ERR_FLAG_NOT_SET));
        pVerdict->shortText = "failed: the inner installer did not set SetupFlag";
        pVerdict->explaining = steps_OfInstallError(LAUNCH_ERR_FLAG_NOT_SET);
    } else if (pszDone != NULL) {
        printf("  installed: the inner installer ended with %u (%s)\n",
               (unsigned)pRun->dwInstallerCode, pszDone);
        pVerdict->bInstalled = 1;
        pVerdict->shortText = "installed";
    } else if (pRun->bCodeKnown) {
        PrintInstallerFailure(pRun, pVerdict);
    } else if (pRun->bFlagSet) {
        printf("  installed: the inner installer set SetupFlag, its report of success (its "
               "exit code is not in the log)\n");
        pVerdict->bInstalled = 1;
        pVerdict->shortText = "installed";
    } else {
        printf("  ended, not known whether it installed: the inner installer has ended, but %s\n",
               pRun->bCodeUnread ? "its exit code could not be read (the launcher passed on 0)"
                                 : "this launcher logs no exit code");
        printf("  what to do: Look on the PC whether the client is installed (Programs and "
               "Features), or read the installer's own log. %s\n",
               err_InstallerLog());
        pVerdict->shortText = "ended, not known whether it installed";
        pVerdict->explaining = steps_OfInstallerFailure();
    }
}

// The advice of a refusal this tool knows by its words, else of its exit code.
const char* RefusalWhatToDo(const LogRun* pRun)
{
    if (pRun->eOutcome != RUN_OUTCOME_COUNT)
        return err_EndingWhatToDo(pRun->eOutcome);
    for (int i = 0; pRun->bExitCode && i < RUN_OUTCOME_COUNT; ++i) {
        RunOutcome eOutcome = (RunOutcome)i;
        if (!RunOutcomePassesCodeOn(eOutcome) &&
            RunOutcomeExitCode(eOutcome, 0) == pRun->dwExitCode)
            return err_EndingWhatToDo(eOutcome);
    }
    return "";
}

void PrintInstallError(const LogRun* pRun, Verdict* pVerdict)
{
    uint32_t dwError = pRun->dwError;
    const ErrorEntry* pError = err_Find(dwError);
    // The launchers end with their own numbers and the package's.
    if (pError != NULL && err_LauncherExitCode(dwError) != 0) {
        printf("  failed with %u: %s\n", (unsigned)dwError, pError->pszMeaning);
        printf("  what to do: %s\n", pError->pszWhatToDo);
    } else if (pRun->bCodeKnown && pRun->dwInstallerCode == dwError) {
        return PrintInstallerFailure(pRun, pVerdict);
    } else {
        printf("  failed with %u, a number this tool does not know\n", (unsigned)dwError);
    }
    pVerdict->shortText = Number("failed with %llu", dwError);
    pVerdict->explaining = steps_OfInstallError(dwError);
}

// How far a run that has not ended got.
std::string LastStep(const LogRun* pRun)
{
    if (!pRun->bInstallerEnded && pRun->eLastStep == STEP_INSTALLER)
        return "the inner installer was running";
    if (!pRun->bInstallerEnded)
        return steps_Name(pRun->eLastStep);
    std::string step = pRun->bCodeKnown ? "the inner installer had ended with " +
                                              InstallerCodeText(pRun->dwInstallerCode)
                                        : std::string("the inner installer had ended");
    if (pRun->bAfterExitMain)
        step += ", and the launcher was at its last step (" RUN_LOG_EXIT_MAIN ")";
    return step;
}

Verdict PrintEnding(const Report* pReport, const LogRun* pRun)
{
    Verdict verdict = {0, "", 0};
    switch (pRun->eEnding) {
    case RUN_ENDED_INSTALLER:
        PrintInstallerEnded(pRun, &verdict);
        break;
    case RUN_ENDED_REFUSED:
        printf("  refused: %s\n", Shown(pReport, pRun->why).c_str());
        if (*RefusalWhatToDo(pRun) != '\0')
            printf("  what to do: %s\n", RefusalWhatToDo(pRun));
        verdict.shortText = "refused";
        verdict.explaining = steps_OfRefusal(pRun->eOutcome, pRun->dwExitCode);
        break;
    case RUN_ENDED_INSTALL_ERROR:
        PrintInstallError(pRun, &verdict);
        break;
    case RUN_ENDED_OTHER:
        printf("  ended with an exit code this tool does not know: %s\n",
               Shown(pReport, pRun->why).c_str());
        verdict.shortText = Number("ended with exit code %llu", pRun->dwExitCode);
        verdict.explaining = ~(RunSteps)0;
        break;
    default:
        printf("  no ending in the log (killed, still running, or the log was cut)\n");
        printf("  last step in the log: %s\n", LastStep(pRun).c_str());
        verdict.shortText = "no ending in the log";
        verdict.explaining = steps_OfStop(pRun->eLastStep);
        break;
    }
    if (!pRun->cutLine.empty()) {
        char szTime[20];
        log_FormatTime(pRun->ullCutTime, szTime);
        printf("  its last line is cut: [%s] %s ...\n", szTime,
               Shown(pReport, pRun->cutLine).c_str());
    }
    if (pRun->bExitCode)
        printf("  exit code: %u\n", (unsigned)pRun->dwExitCode);
    else if (pRun->eEnding == RUN_ENDED_REFUSED)
        printf("  no exit code in the log yet: its message box may still wait for an answer\n");
    else if (pRun->bStartLine && pRun->eEnding != RUN_ENDED_NOT)
        printf("  no exit code in the log: it was stopped, or the log cut, before its last line\n");
    return verdict;
}

// The kept lines of the chosen steps, in the order they were written: the
// last nMax of them, and how many there were.
std::vector<RunLine> LinesOf(const std::vector<RunLines>& steps, RunSteps chosen, size_t nMax,
                             uint64_t* pullAll)
{
    std::vector<RunLine> lines;
    *pullAll = 0;
    for (const RunLines& step : steps) {
        if ((chosen & StepBit(step.eStep)) == 0)
            continue;
        *pullAll += step.ullLines;
        lines.insert(lines.end(), step.tail.begin(), step.tail.end());
    }
    std::sort(lines.begin(), lines.end(),
              [](const RunLine& l1, const RunLine& l2) { return l1.ullOrder < l2.ullOrder; });
    if (lines.size() > nMax)
        lines.erase(lines.begin(), lines.end() - nMax);
    return lines;
}

void PrintLines(const Report* pReport, const char* pszWhere, const std::vector<RunLines>& steps,
                RunSteps chosen, size_t nMax)
{
    uint64_t ullAll = 0;
    std::vector<RunLine> lines = LinesOf(steps, chosen, nMax, &ullAll);
    if (lines.empty())
        return;
    if (ullAll > lines.size())
        printf("  %s, its last %zu of %llu lines:\n", pszWhere, lines.size(),
               (unsigned long long)ullAll);
    else
        printf("  %s:\n", pszWhere);
    for (const RunLine& line : lines) {
        char szTime[20];
        log_FormatTime(line.ullTime, szTime);
        printf("    [%s] %s\n", szTime, Shown(pReport, line.text).c_str());
    }
}

void PrintRun(void* pCtx, const LogRun* pRun)
{
    Report* pReport = (Report*)pCtx;
    uint64_t ullNumber = ++pReport->ullRuns;
    if (ullNumber > 1)
        printf("\n");
    PrintHeader(pReport, pRun, ullNumber);
    Verdict verdict = PrintEnding(pReport, pRun);
    if (!verdict.bInstalled) {
        PrintLines(pReport, "setup log", pRun->setupSteps, verdict.explaining, RUN_SETUP_TAIL);
        for (const RunModule& module : pRun->modules)
            PrintLines(pReport, module.name.c_str(), module.steps, verdict.explaining,
                       RUN_MODULE_TAIL);
    }
    if (pRun->eEnding == RUN_ENDED_NOT)
        pReport->unended.push_back(ullNumber);
    if (pRun->ullLastOrder >= pReport->ullLatestOrder) {
        pReport->ullLatestOrder = pRun->ullLastOrder;
        pReport->ullLatestRun = ullNumber;
        pReport->bLatestInstalled = verdict.bInstalled;
        pReport->latestEnding = verdict.shortText;
    }
}

void ReadRuns(LogFolders* pSet, Report* pReport)
{
    RunBook* pBook = runs_New(PrintRun, pReport);
    LogLine line;
    const char* pszModule = NULL;
    while (logf_Next(pSet, &line, &pszModule)) {
        if (*pszModule == '\0')
            runs_SetupLine(pBook, &line);
        else
            runs_ModuleLine(pBook, pszModule, &line);
    }
    runs_Finish(pBook);
    pReport->ullLinesOfNoRun = runs_LinesOfNoRun(pBook);
    runs_Free(&pBook);
}

// "10 runs; the one that ended last, run 10: installed", and the runs that
// have not ended, which an earlier run's verdict does not hide.
void PrintSummary(const Report* pReport)
{
    printf("%llu run%s; the one that ended last, run %llu: %s",
           (unsigned long long)pReport->ullRuns, pReport->ullRuns == 1 ? "" : "s",
           (unsigned long long)pReport->ullLatestRun, pReport->latestEnding.c_str());
    std::string others;
    for (uint64_t ull : pReport->unended) {
        if (ull != pReport->ullLatestRun)
            others += (others.empty() ? "" : ", ") + std::to_string(ull);
    }
    if (!others.empty())
        printf("; also without an ending in the log: run%s %s",
               others.find(',') == std::string::npos ? "" : "s", others.c_str());
    printf("\n");
}

} // namespace

int cmd_Log(int argc, char** argv)
{
    Report report = {};
    if (!tool_TakeCodePage("log", &argc, argv, &report.uCodePage))
        return TOOL_USAGE;
    for (int i = 0; i < argc; ++i) {
        if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("log", "there is no option %s", argv[i]);
    }
    const char* pszDefault = tos_DefaultLogDir();
    if (argc == 0 && pszDefault == NULL)
        return tool_WrongCommandLine("log", "name the log folder (this system has no "
                                            "launchers' log)");
    const char* const* ppszFolders = argc > 0 ? argv : &pszDefault;
    LogFolders* pSet = logf_Open(ppszFolders, argc > 0 ? argc : 1);
    int bAnyFolder = logf_FoldersRead(pSet) > 0;
    ReadRuns(pSet, &report);
    std::vector<std::string> notes = logf_Notes(pSet);
    logf_Close(&pSet);

    if (report.ullRuns > 0)
        printf("\n");
    for (const std::string& note : notes)
        printf("%s\n", note.c_str());
    if (report.ullLinesOfNoRun > 0)
        printf("note: %llu module-log line%s of no run in these logs: another program wrote "
               "%s, or %s run's setup-log lines are in a folder not read\n",
               (unsigned long long)report.ullLinesOfNoRun,
               report.ullLinesOfNoRun == 1 ? " is" : "s are",
               report.ullLinesOfNoRun == 1 ? "it" : "them",
               report.ullLinesOfNoRun == 1 ? "its" : "their");
    if (!bAnyFolder)
        return TOOL_USAGE;
    if (report.ullRuns == 0) {
        printf("no launcher run in these logs\n");
        return TOOL_USAGE;
    }
    PrintSummary(&report);
    return report.bLatestInstalled ? TOOL_OK : TOOL_FAILED;
}
