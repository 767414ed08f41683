// The one packer: the header of a new package, one record a file, copied to
// exactly the size its record announces, and the end record. The Win32
// utl_FilePack, setuptool.exe and the Linux tool all write through it.
// Portable: no Windows headers.
#pragma once

#include "package_format.h"

// Where records go: the end of the package file, at ullPos bytes from its
// start (the first data chunk is cut so that the rest are written on
// 4096-byte boundaries of the file). pfnLog gets the packer's log lines
// (NULL: none).
struct PkgPackOut {
    void* pCtx;
    PkgWriteFn pfnWrite;
    void (*pfnLog)(const char* pszLine);
    uint64_t ullPos;
    uint8_t* pBuf; // at least PKG_CHUNK bytes
    uint32_t cbBuf;
};

// The scrambled header marker: 0, or PKG_ERR_WRITE.
uint32_t pkg_WriteHeader(PkgPackOut* pOut);

// One record of cbData bytes read from pfnRead: 1, or 0 with *pdwErr set.
// The source is read to exactly cbData bytes and must end there: one that
// ends early or holds more changed since it was measured and fails with
// PKG_ERR_SIZE, a write with PKG_ERR_WRITE, a read with the system's code.
// pszShown names the source in the log lines.
int pkg_WriteRecord(PkgPackOut* pOut, const char* pszShown, const char* pszName, uint32_t cbData,
                    void* pSrcCtx, PkgReadFn pfnRead, uint32_t* pdwErr);

// The end record: the name "^Kelvo_end^" and no data, the same bytes as a
// record made of an empty file of that name.
int pkg_WriteEndRecord(PkgPackOut* pOut, uint32_t* pdwErr);
