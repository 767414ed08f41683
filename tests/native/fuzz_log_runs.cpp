// libFuzzer target: any bytes read as a log, through a read buffer whose
// size the first byte chooses (so that lines cross its end), each line taken
// as a setup-log line or else a module-log line, and grouped into runs.
// Every run handed out is whole: it starts no later than it ends, and keeps
// no more lines than it shows.
#include "fuzz_memory.h"
#include "log_runs.h"

#include <stdlib.h>
#include <string.h>

namespace
{

void CheckRun(void*, const LogRun* pRun)
{
    char szTime[20];
    log_FormatTime(pRun->ullStart, szTime);
    if (pRun->ullStart > pRun->ullEnd || pRun->lines.size() > RUN_SETUP_TAIL ||
        strlen(szTime) != 19)
        abort();
    for (const RunModule& module : pRun->modules) {
        if (module.tail.size() > RUN_MODULE_TAIL || module.tail.size() > module.ullLines)
            abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    if (cb == 0)
        return 0;
    Memory mem = {pData + 1, cb - 1, 0};
    uint32_t cbBuf = 1 + pData[0] % 97;
    char* pBuf = (char*)malloc(cbBuf);
    LogReader reader;
    log_InitReader(&reader, MemoryRead, &mem, pBuf, cbBuf);
    RunBook* pBook = runs_New(CheckRun, NULL);
    LogTimeCache time = {};
    char* pLine = NULL;
    size_t cbKept = 0;
    uint64_t cbWhole = 0;
    while (log_ReadLine(&reader, &pLine, &cbKept, &cbWhole) == LOG_READ_LINE) {
        if (cbKept > LOG_LINE_KEEP || cbKept > cbWhole)
            abort();
        LogLine line; // a line that is none is left as it was
        if (log_ParseLine(pLine, cbKept, cbWhole, 0, &time, &line))
            runs_SetupLine(pBook, &line);
        else if (log_ParseLine(pLine, cbKept, cbWhole, 1, &time, &line))
            runs_ModuleLine(pBook, "UtlFile", &line);
    }
    runs_Finish(pBook);
    runs_Free(&pBook);
    free(pBuf);
    return 0;
}
