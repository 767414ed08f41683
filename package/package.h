// The package behind a launcher image: a header marker, then one record per
// file (plain 32-bit name and data lengths, scrambled name and data).
#pragma once

#include <windows.h>

enum {
    PKG_OFFSET = 307200, // where the package starts inside a launcher
    PKG_MARKER_LEN = 17,
    PKG_MAX_NAME = 64,
    PKG_CHUNK = 4096, // the one transfer buffer of packer and unpacker
};

// Error numbers of the packer and the unpacker.
enum {
    PKG_ERR_NULL_ARG = 150,
    PKG_ERR_PATH_TOO_LONG = 151,
    PKG_ERR_NO_SOURCE = 152,
    PKG_ERR_NO_PACKAGE = 153,
    PKG_ERR_DELETE_PACKAGE = 154,
    PKG_ERR_SIZE = 155,
    PKG_ERR_OPEN = 156,
    PKG_ERR_WRITE = 157,
    PKG_ERR_NO_DEST_DIR = 158,
    PKG_ERR_READ_HEADER = 159,
    PKG_ERR_BAD_HEADER = 160,
    PKG_ERR_NAME_LENGTH = 161,
    PKG_ERR_DATA_LENGTH = 162,
    PKG_ERR_RECORD_OVERRUN = 163,
    PKG_ERR_READ_NAME = 164,
    PKG_ERR_OPEN_DEST = 165,
    PKG_ERR_READ_DATA = 166,
};

// One line of English for each number above; NULL for any other number.
const char* pkg_ErrorText(DWORD dwErr);

// "^-=Kelvo=-^ Mirk ": 17 bytes, the last a blank, stored without terminator.
extern const char g_szPkgMarker[PKG_MARKER_LEN + 1];
// A record of this name ends a package for the setup unpacker.
extern const char g_szPkgEndName[];

DWORD MixBuffer(BYTE* pBuf, DWORD cbBuf);
BOOL MixAndWrite(HANDLE hFile, BYTE* pBuf, DWORD cbBuf);
int ReadAndUnmix(HANDLE hFile, BYTE* pBuf, DWORD cbBuf);
// Reads the header marker at the file's position: 0 when it is the package
// marker, PKG_ERR_READ_HEADER when it is cut short, PKG_ERR_BAD_HEADER when
// it is some other text.
DWORD pkg_ReadHeader(HANDLE hFile);

// A record name may only name a plain file inside the destination directory
// (or an existing subdirectory of it).
int pkg_IsSafeRecordName(const char* pszName);

int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* pdwErr, DWORD dwOffset);
// The lite launcher's unpacker: the same checks and numbers, no log lines,
// and a record named like the end record is extracted like any other.
int utl_FileUnpackLite(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                       DWORD* pdwErr, DWORD dwOffset);

// The launchers read their own image through a handle they opened once, by
// the full path the system gives and sharing it for reading only: what is
// unpacked is the file that runs, and nobody can rewrite it meanwhile. The
// size comes from the handle; the two names only appear in the log lines.
// The caller keeps the handle.
int utl_FileUnpackHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                       const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset);
int utl_FileUnpackLiteHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset);

// What tells the two unpackers apart, and what the release engineers' tool
// adds: a report of each record as it is reached, and a walk that checks and
// lists the records without writing anything.
struct UnpackVariant {
    int bLog;
    int bEndRecord;
    int bExtract;
    void (*pfnRecord)(void* pContext, const char* pszName, DWORD dwDataLen);
    void* pContext;
};
// hHeldSrc is a source the caller holds, or INVALID_HANDLE_VALUE to open
// pszSrcPath\pszSrcFile here.
int pkg_Unpack(HANDLE hHeldSrc, const char* pszSrcPath, const char* pszSrcFile,
               const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset,
               const UnpackVariant* pVariant);

int utl_FilePack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                 const char* pszDstFile, DWORD* pdwErr, int bAdd);
