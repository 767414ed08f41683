// The lines of the launchers' logs as their writer writes them:
//   setup log   "[yyyy-mm-dd hh:mm:ss] [tid] text"
//   module log  "[yyyy-mm-dd hh:mm:ss] [DTL] [0xtid] text" ("[DTL] " only on detail lines)
// each ended by CR LF, the thread id in lower-case hex. Read from any
// stream, a line at a time: a log may be cut, damaged, binary or of any
// size, so a line is never longer in memory than LOG_LINE_KEEP bytes and
// the reader's memory does not grow with the file.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A line's text is kept up to here; the rest of a longer line is counted.
const size_t LOG_TEXT_MAX = 1023;
const size_t LOG_LINE_KEEP = LOG_TEXT_MAX + 64;

struct LogLine {
    uint64_t ullTime; // yyyymmddhhmmss as one number, which orders as the time does
    uint32_t dwThread;
    int bDetail;
    const char* pszText; // NUL-terminated, without the line end; valid until the next read
    size_t cchText;      // as kept
    int bCut;            // the text was longer than LOG_TEXT_MAX
    int bPartial;        // the log holds only the line's beginning (set by the reader of a file)
};

// The time of a file's last line: the lines of one second follow each
// other, and their time is read once.
struct LogTimeCache {
    char abPrefix[22];
    uint64_t ullTime;
    int bValid;
};

// Parses one line without its LF: 1 for a line of a setup log (bModule 0)
// or a module log, 0 for anything else (and then the line is unchanged).
// Reuses the line's own bytes, which it changes. pCache may be NULL.
int log_ParseLine(char* pLine, size_t cbKept, uint64_t cbWhole, int bModule, LogTimeCache* pCache,
                  LogLine* pOut);
// Where a line of either log begins inside pLine (cbKept bytes), after its
// first byte: a line cut short with the next one written right after it, as
// a writer stopped mid-line (or a PC that lost power, and left zeros)
// leaves. Its offset, or 0 when no line begins there.
size_t log_FindLaterLine(const char* pLine, size_t cbKept);
// "yyyy-mm-dd hh:mm:ss".
void log_FormatTime(uint64_t ullTime, char szOut[20]);

// The stream a reader reads: the tool's file reads (tos_Read) have this
// shape. 0, or the system's error code.
typedef uint32_t (*LogReadFn)(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead);

enum LogReadResult { LOG_READ_LINE, LOG_READ_END, LOG_READ_FAILED };

struct LogReader {
    LogReadFn pfnRead;
    void* pCtx;
    char* pBuf; // cbBuf bytes of the stream
    uint32_t cbBuf, iPos, iEnd;
    int bEnd;
    char abLine[LOG_LINE_KEEP + 1]; // a line that crosses the end of the buffer
    uint64_t ullBytes;              // read so far
    uint32_t dwErr;                 // after LOG_READ_FAILED
    int bCutEnd;                    // the stream ended inside a line...
    size_t cbCut;                   // ...whose first cbCut bytes are in abLine
    uint64_t cbCutWhole;            // of cbCutWhole
};

// pBuf of cbBuf bytes serves the reader until it is done.
void log_InitReader(LogReader* pReader, LogReadFn pfnRead, void* pCtx, char* pBuf, uint32_t cbBuf);
// The next line, without its LF: *ppLine holds min(*pcbWhole, LOG_LINE_KEEP)
// bytes (*pcbKept) and may be changed by the caller until the next call. A
// last line without its LF is cut, not a line: the reader ends with bCutEnd,
// and keeps its bytes in abLine.
LogReadResult log_ReadLine(LogReader* pReader, char** ppLine, size_t* pcbKept, uint64_t* pcbWhole);
