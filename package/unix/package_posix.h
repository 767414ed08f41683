// The package functions as the Linux tool calls them: the record walk over
// POSIX files, and record names in the code page of the PC that will unpack
// them, which a Linux file name (UTF-8) does not tell.
#pragma once

#include "record_walk.h"

// A UTF-8 text in the code page's bytes and back: 1, or 0 when a character
// has no place in the other (or the output has no room). ASCII passes
// either way unchanged; in code page 0 nothing else does.
int pkg_ToCodePage(uint32_t uCodePage, const char* pszUtf8, char* pszOut, size_t cbOut);
int pkg_FromCodePage(uint32_t uCodePage, const char* pszBytes, char* pszOut, size_t cbOut);

// The walk of the package at dwOffset of pszSrcPath/pszSrcFile into the
// directory pszDstPath, whose names it reads in the variant's code page.
// Nothing is written outside that directory: no file is opened through a
// link, and only plain files are written.
// After a failure *pdwSysErr (when not NULL) holds the errno of the call that
// failed, 0 when none did. pWatch (may be NULL) gets the seal's check.
int pkg_Unpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
               uint32_t* pdwErr, uint32_t* pdwSysErr, uint32_t dwOffset,
               const UnpackVariant* pVariant, PkgWatch* pWatch);
