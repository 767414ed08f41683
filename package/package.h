// The package functions as Windows programs call them: the launchers'
// unpackers over their own image, setuptool.exe's walks, and the packer of
// one record per call, all over Win32 files and the module logs. The format
// itself, the one walk and the one packer are portable (package_format.h,
// record_walk.h, record_writer.h); this is their Win32 edge.
#pragma once

#include <windows.h>

#include "package_format.h"
#include "record_walk.h"

// The launchers' rule: names in the system's ANSI code page.
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
// The caller keeps the handle. pWatch checks the seal and sees each chunk.
int utl_FileUnpackHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                       const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, PkgWatch* pWatch);
int utl_FileUnpackLiteHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, PkgWatch* pWatch);

// setuptool.exe's walk of the package at dwOffset of pszSrcPath\pszSrcFile.
// hHeldSrc is a source the caller holds, or INVALID_HANDLE_VALUE to open it
// here. With a variant's own code page (setuptool.exe --codepage) the files
// are made by their wide names. It writes no log line: the log folder is the
// launchers'. After a failure *pdwSysErr (when not NULL) holds the system's
// error code of the call that failed, 0 when none did. pWatch (may be NULL)
// gets the seal's check.
int pkg_Unpack(HANDLE hHeldSrc, const char* pszSrcPath, const char* pszSrcFile,
               const char* pszDstPath, DWORD* pdwErr, DWORD* pdwSysErr, DWORD dwOffset,
               const UnpackVariant* pVariant, PkgWatch* pWatch);

int utl_FilePack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                 const char* pszDstFile, DWORD* pdwErr, int bAdd);
