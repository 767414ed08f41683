// How far long work has come, on one line of a terminal that each step
// overwrites: for pack, build, unpack and check of more than about 100 MB,
// when standard error is a terminal and --quiet was not given. The lines a
// command prints as it goes (a record's name) pass above it undisturbed.
#include "setuptool.h"
#include "tool_os.h"

#include <stdarg.h>
#include <stdio.h>

namespace
{

const uint64_t kShownFrom = 100ull * 1000 * 1000;
const uint64_t kMB = 1000ull * 1000;

struct Progress {
    int bOn;
    const char* pszCommand;
    uint64_t cbTotal;
    int nRecords; // 0: not known
    uint64_t cbDone;
    int nDone;
    int nShownPercent;
    int nShownDone;
    int cchShown; // the line on the terminal now
};

Progress s_progress;

void Clear()
{
    if (s_progress.cchShown > 0)
        fprintf(stderr, "\r%*s\r", s_progress.cchShown, "");
    s_progress.cchShown = 0;
}

void Draw()
{
    const Progress* p = &s_progress;
    char szRecords[48] = "";
    if (p->nRecords > 0)
        snprintf(szRecords, sizeof szRecords, "%d of %d records, ", p->nDone, p->nRecords);
    char szLine[160];
    int cch = snprintf(szLine, sizeof szLine, "%s: %s%llu of %llu MB, %d%%", p->pszCommand,
                       szRecords, (unsigned long long)(p->cbDone / kMB),
                       (unsigned long long)(p->cbTotal / kMB), p->nShownPercent);
    if (cch < 0)
        return;
    fprintf(stderr, "\r%s%*s", szLine, p->cchShown > cch ? p->cchShown - cch : 0, "");
    s_progress.cchShown = cch;
}

} // namespace

void tool_ProgressBegin(const char* pszCommand, uint64_t cbTotal, int nRecords)
{
    s_progress = Progress();
    s_progress.bOn = !g_bToolQuiet && cbTotal > kShownFrom && tos_StderrIsTerminal();
    s_progress.pszCommand = pszCommand;
    s_progress.cbTotal = cbTotal;
    s_progress.nRecords = nRecords;
    s_progress.nShownPercent = -1;
}

void tool_ProgressAt(uint64_t cbDone, int nDone)
{
    Progress* p = &s_progress;
    if (!p->bOn)
        return;
    p->cbDone = cbDone < p->cbTotal ? cbDone : p->cbTotal;
    p->nDone = nDone;
    int nPercent = (int)(p->cbDone * 100 / p->cbTotal);
    if (nPercent == p->nShownPercent && nDone == p->nShownDone)
        return;
    p->nShownPercent = nPercent;
    p->nShownDone = nDone;
    Draw();
}

void tool_Note(const char* pszFormat, ...)
{
    if (g_bToolQuiet)
        return;
    Clear();
    va_list args;
    va_start(args, pszFormat);
    vfprintf(stderr, pszFormat, args);
    va_end(args);
    if (s_progress.bOn && s_progress.nShownPercent >= 0)
        Draw();
}

void tool_ProgressEnd()
{
    Clear();
    s_progress.bOn = 0;
}
