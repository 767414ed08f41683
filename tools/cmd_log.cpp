// setuptool log [<folder>...] [--codepage N]
// What the launchers' logs say about their runs, for support staff: one
// block per run, in the order the runs started, with its start, launcher
// and ending, and for a run that did not install the lines that explain
// it. The exit code tells a script whether the run that ended last
// installed.
#include "error_catalogue.h"
#include "log_folder.h"
#include "log_runs.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

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

void PrintHeader(const LogRun* pRun, uint64_t ullNumber)
{
    char szStart[20], szEnd[20];
    log_FormatTime(pRun->ullStart, szStart);
    log_FormatTime(pRun->ullEnd, szEnd);
    std::string span = szStart;
    if (pRun->ullEnd != pRun->ullStart) // the end's date only when it is another day
        span += std::string(" to ") + (strncmp(szStart, szEnd, 10) == 0 ? szEnd + 11 : szEnd);
    printf("run %llu: %s, %s, thread %x\n", (unsigned long long)ullNumber, span.c_str(),
           LauncherName(pRun->eLauncher), (unsigned)pRun->dwThread);
}

// The ending's line(s); *pbInstalled when the run installed, *pShort its
// ending in a few words.
void PrintEnding(const Report* pReport, const LogRun* pRun, int* pbInstalled, std::string* pShort)
{
    *pbInstalled = 0;
    const char* pszDone = DoneMeaning(pRun->dwCode);
    const ErrorEntry* pError = err_Find(pRun->dwCode);
    switch (pRun->eEnding) {
    case RUN_INSTALLED:
        *pbInstalled = !pRun->bCodeKnown || pszDone != NULL;
        *pShort = *pbInstalled ? "installed"
                               : Number("the inner installer failed with %llu", pRun->dwCode);
        if (!pRun->bCodeKnown && pRun->bExitCode)
            printf("  installed: the inner installer has ended; its exit code could not be read, "
                   "so the launcher passed on 0\n");
        else if (!pRun->bCodeKnown)
            printf("  installed: the inner installer has ended (this launcher logged no exit "
                   "code)\n");
        else if (pszDone != NULL)
            printf("  installed: the inner installer ended with %u (%s)\n", (unsigned)pRun->dwCode,
                   pszDone);
        else
            printf("  failed: the inner installer ended with %u, a failure of its own (its own "
                   "log says more)\n",
                   (unsigned)pRun->dwCode);
        break;
    case RUN_REFUSED:
        *pShort = "refused";
        printf("  refused: %s\n", Shown(pReport, pRun->why).c_str());
        break;
    case RUN_INSTALL_ERROR:
        *pShort = Number("failed with %llu", pRun->dwCode);
        // The launchers end with their own numbers and the package's.
        if (pError != NULL && err_LauncherExitCode(pRun->dwCode) != 0) {
            printf("  failed with %u: %s\n", (unsigned)pRun->dwCode, pError->pszMeaning);
            printf("  what to do: %s\n", pError->pszWhatToDo);
        } else {
            printf("  failed with %u, a number this tool does not know\n", (unsigned)pRun->dwCode);
        }
        break;
    default:
        *pShort = "no ending in the log";
        printf("  no ending in the log: it was stopped from outside (ended, or the PC shut "
               "down), or it still runs\n");
        break;
    }
    if (pRun->bExitCode)
        printf("  exit code: %u\n", (unsigned)pRun->dwExitCode);
    else if (pRun->eEnding == RUN_REFUSED)
        printf("  no exit code in the log yet: its message box may still wait for an answer\n");
}

void PrintLines(const Report* pReport, const char* pszWhere, const std::vector<RunLine>& lines,
                uint64_t ullAll)
{
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
    PrintHeader(pRun, ullNumber);
    int bInstalled = 0;
    std::string ending;
    PrintEnding(pReport, pRun, &bInstalled, &ending);
    if (!bInstalled) {
        PrintLines(pReport, "setup log", pRun->lines, pRun->lines.size() + pRun->ullLinesLeftOut);
        for (const RunModule& module : pRun->modules)
            PrintLines(pReport, ("stp_" + module.name).c_str(), module.tail, module.ullLines);
    }
    if (pRun->ullLastOrder >= pReport->ullLatestOrder) {
        pReport->ullLatestOrder = pRun->ullLastOrder;
        pReport->ullLatestRun = ullNumber;
        pReport->bLatestInstalled = bInstalled;
        pReport->latestEnding = ending;
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
        printf("note: %s\n", note.c_str());
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
    printf("%llu run%s; the one that ended last, run %llu: %s\n",
           (unsigned long long)report.ullRuns, report.ullRuns == 1 ? "" : "s",
           (unsigned long long)report.ullLatestRun, report.latestEnding.c_str());
    return report.bLatestInstalled ? TOOL_OK : TOOL_FAILED;
}
