// The one record walk of a package: the setup unpacker, the setup-lite one,
// and the release engineers' listing and check, over whatever source and
// destination an edge supplies (Win32 handles in the launchers and
// setuptool.exe, descriptors in the Linux tool, memory in the fuzzer).
// Portable: no Windows headers.
#pragma once

#include "package_format.h"
#include "seal.h"

// The file the package is read from; the walk asks in this order. Each
// returns 1 when it could; the edge closes what it opened once the walk is
// done.
struct PkgSource {
    void* pCtx;
    int (*pfnExists)(void* pCtx, const char* pszPath);              // else 152
    int (*pfnSize)(void* pCtx, const char* pszPath, uint64_t* pcb); // else 155
    int (*pfnOpen)(void* pCtx, const char* pszPath);                // else 156
    void (*pfnSeek)(void* pCtx, uint64_t cbFromStart);              // not examined
    PkgReadFn pfnRead;
};

// The directory the records become files in. Every file is one record's:
// opened as it stands or made (never through a link where the edge can
// tell), written from its first byte and cut where the record ends.
struct PkgDest {
    void* pCtx;
    int (*pfnOpenDir)(void* pCtx, const char* pszDir); // else 158
    // pszPath is the directory and the name joined, for edges that go by path.
    int (*pfnOpen)(void* pCtx, const char* pszPath, const char* pszName); // else 165
    PkgWriteFn pfnWrite;                                                  // else 157
    int (*pfnEnd)(void* pCtx);                                            // else 157
    void (*pfnClose)(void* pCtx); // safe when no file is open
};

// The system around the walk: its log (NULL: none), the longest path it
// takes (a path of cchPathMax characters or more is refused), the separator
// it joins paths with, how names are read, and the transfer buffer.
struct PkgEdge {
    PkgSource src;
    PkgDest dst;
    void (*pfnLog)(const char* pszLine);
    size_t cchPathMax;
    char chSeparator;
    const PkgCodePage* pCodePage;
    uint8_t* pBuf; // at least PKG_CHUNK bytes
    uint32_t cbBuf;
};

// One record as the walk reaches it, after its name passed the rules.
struct PkgRecordInfo {
    const char* pszName;  // the name up to its first NUL
    uint32_t cbNameField; // the record's name length, NUL bytes and all
    uint32_t cbData;
    uint64_t ullEnd; // where the record ends, from the start of the package
};

// What tells the two unpackers apart, and what the release engineers' tools
// add: a report of each record as it is reached, a walk that checks and
// lists the records without writing anything, and the code page names are
// read in (0: the system's own; for the Linux tool, which has none, ASCII).
struct UnpackVariant {
    int bLog;
    int bEndRecord;
    int bExtract;
    void (*pfnRecord)(void* pContext, const PkgRecordInfo* pRecord);
    void* pContext;
    uint32_t uCodePage;
};

// What a walk of a setup's package at 307200 is watched by: its seal, read
// from the fill and checked against the bytes the walk reads anyway (and
// those behind an end record, read last), and a hook between chunks.
struct PkgWatch {
    // After each chunk: the package's bytes read so far, of ullTotal; 0 stops
    // the walk (*pdwErr untouched, bStopped set, the seal unfinished).
    int (*pfnChunk)(void* pCtx, uint64_t ullDone, uint64_t ullTotal);
    void* pCtx;
    // A launcher's: a damaged setup fails the walk with PKG_ERR_DAMAGED,
    // before any record is extracted when the seal or the package's length
    // tells it, else once the package is read (whatever number the walk
    // would have failed with). The tools' walks go on and report.
    int bRefuseDamaged;
    PkgSealCheck seal; // what the walk found
    int bStopped;
};

// Extracts (or walks) the package at dwOffset of pszSrcPath joined with
// pszSrcFile into pszDstPath: 1 when every record was read, else 0 with the
// error number in *pdwErr, which success leaves alone. pWatch may be NULL.
int pkg_Walk(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
             uint32_t* pdwErr, uint32_t dwOffset, const PkgEdge* pEdge,
             const UnpackVariant* pVariant, PkgWatch* pWatch);
