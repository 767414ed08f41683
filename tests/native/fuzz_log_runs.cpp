// libFuzzer target: any bytes read as a log, through a read buffer whose
// size the first byte chooses (so that lines cross its end), each line split
// where another begins inside it, each piece taken as a setup-log line or
// else a module-log line (a piece before another, and a last line without
// its end, as cut), and grouped into runs. Every run handed out is whole: it
// starts no later than it ends, and keeps no more lines than it shows.
#include "fuzz_memory.h"
#include "log_runs.h"

#include <stdlib.h>
#include <string.h>

namespace
{

void CheckSteps(const std::vector<RunLines>& steps, size_t nMax)
{
    for (const RunLines& lines : steps) {
        if (lines.tail.size() > nMax || lines.tail.size() > lines.ullLines ||
            lines.eStep >= STEP_COUNT)
            abort();
    }
}

void CheckRun(void*, const LogRun* pRun)
{
    char szTime[20];
    log_FormatTime(pRun->ullStart, szTime);
    if (pRun->ullStart > pRun->ullEnd || strlen(szTime) != 19 || pRun->eLastStep >= STEP_COUNT)
        abort();
    CheckSteps(pRun->setupSteps, RUN_SETUP_TAIL);
    for (const RunModule& module : pRun->modules)
        CheckSteps(module.steps, RUN_MODULE_TAIL);
}

size_t s_cLogLines; // the pieces of this input taken as log lines

// One piece of a line, taken as the reader of a file takes it.
void Take(RunBook* pBook, LogTimeCache* pTime, char* p, size_t cbKept, uint64_t cbWhole,
          int bPartial)
{
    LogLine line; // a line that is none is left as it was
    int bModule = 0;
    if (!log_ParseLine(p, cbKept, cbWhole, 0, pTime, &line)) {
        if (!log_ParseLine(p, cbKept, cbWhole, 1, pTime, &line))
            return;
        bModule = 1;
    }
    ++s_cLogLines;
    line.bPartial = bPartial;
    if (bModule)
        runs_ModuleLine(pBook, "stp_UtlFile", &line);
    else
        runs_SetupLine(pBook, &line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    if (cb == 0)
        return 0;
    Memory mem = {pData + 1, cb - 1, 0};
    s_cLogLines = 0;
    uint32_t cbBuf = 1 + pData[0] % 97;
    char* pBuf = (char*)malloc(cbBuf);
    LogReader reader;
    log_InitReader(&reader, MemoryRead, &mem, pBuf, cbBuf);
    RunBook* pBook = runs_New(CheckRun, NULL);
    LogTimeCache time = {};
    char* pLine = NULL;
    size_t cbKept = 0;
    uint64_t cbWhole = 0;
    LogReadResult eRead;
    while ((eRead = log_ReadLine(&reader, &pLine, &cbKept, &cbWhole)) == LOG_READ_LINE) {
        if (cbKept > LOG_LINE_KEEP || cbKept > cbWhole)
            abort();
        for (size_t iLater; (iLater = log_FindLaterLine(pLine, cbKept)) > 0;) {
            if (iLater >= cbKept)
                abort();
            char chLater = pLine[iLater];
            Take(pBook, &time, pLine, iLater, iLater, 1);
            pLine[iLater] = chLater;
            pLine += iLater;
            cbKept -= iLater;
            cbWhole -= iLater;
        }
        Take(pBook, &time, pLine, cbKept, cbWhole, 0);
    }
    if (eRead == LOG_READ_END && reader.bCutEnd) {
        if (reader.cbCut > LOG_LINE_KEEP || reader.cbCut > reader.cbCutWhole)
            abort();
        Take(pBook, &time, reader.abLine, reader.cbCut, reader.cbCutWhole, 1);
    }
    runs_Finish(pBook);
    runs_Free(&pBook);
    free(pBuf);
    SeedGotPastHeader(s_cLogLines > 0);
    return 0;
}
