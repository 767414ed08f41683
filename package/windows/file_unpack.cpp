// The Win32 edge of the record walk: the source is the launcher's held image
// or a file opened by its path, the records become files through the ANSI
// file calls (or, in a code page of the tool's choosing, the wide ones), and
// the setup unpacker's lines go to the "UtlFile" module log. The launchers'
// 4096-byte buffer and every line and number are the walk's as before.
#include "package.h"
#include "file_util.h"
#include "log.h"

#include <string.h>

namespace
{

struct Source {
    HANDLE hSrc;
    int bLog;
    uint32_t dwSysErr; // of a call that failed, for the tools' messages
};

// A source the caller holds: it is there and open when its handle is
// valid, and measured through that handle, so that what is measured is what
// is read.
int HeldIsOpen(void* pCtx, const char*)
{
    return ((Source*)pCtx)->hSrc != INVALID_HANDLE_VALUE;
}

int HeldSize(void* pCtx, const char*, uint64_t* pcb)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(((Source*)pCtx)->hSrc, &size)) {
        ((Source*)pCtx)->dwSysErr = GetLastError();
        return 0;
    }
    *pcb = (uint64_t)size.QuadPart;
    return 1;
}

// A source named by its path, opened here.
int PathExists(void*, const char* pszPath)
{
    return utl_FileExists(pszPath);
}

int PathSize(void* pCtx, const char* pszPath, uint64_t* pcb)
{
    DWORD dwHigh = 0, dwLow = 0;
    int bSized = ((Source*)pCtx)->bLog ? utl_GetFileSize(pszPath, &dwHigh, &dwLow)
                                       : utl_GetFileSizeQuiet(pszPath, &dwHigh, &dwLow);
    *pcb = (uint64_t)dwHigh << 32 | dwLow;
    return bSized;
}

int PathOpen(void* pCtx, const char* pszPath)
{
    Source* pSrc = (Source*)pCtx;
    pSrc->hSrc = utl_OpenFileForRead(pszPath);
    if (pSrc->hSrc == INVALID_HANDLE_VALUE)
        pSrc->dwSysErr = GetLastError();
    return pSrc->hSrc != INVALID_HANDLE_VALUE;
}

void SourceSeek(void* pCtx, uint64_t cbFromStart)
{
    LARGE_INTEGER pos;
    pos.QuadPart = (LONGLONG)cbFromStart;
    SetFilePointerEx(((Source*)pCtx)->hSrc, pos, NULL, FILE_BEGIN);
}

uint32_t SourceRead(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(((Source*)pCtx)->hSrc, pBuf, cb, &dwRead, NULL);
    *pcbRead = dwRead;
    if (!bRead)
        ((Source*)pCtx)->dwSysErr = GetLastError();
    return bRead ? 0 : ((Source*)pCtx)->dwSysErr;
}

// An existing file is opened as it stands, not truncated; a link as itself.
const DWORD kDestFlags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;

struct Dest {
    HANDLE hDst;
    uint32_t uCodePage; // the names' code page, for the wide calls
    uint32_t dwSysErr;
};

// A record goes only into a plain file of one name: where a link, a second
// name of another file, or no disk file stands (the tool unpacks into
// folders that others prepared), nothing is written through it.
int DestOpened(Dest* pDst)
{
    if (pDst->hDst != INVALID_HANDLE_VALUE && !utl_IsPlainFileOfOneName(pDst->hDst)) {
        utl_CloseHandle(&pDst->hDst);
        SetLastError(ERROR_CANT_ACCESS_FILE);
    }
    if (pDst->hDst == INVALID_HANDLE_VALUE)
        pDst->dwSysErr = GetLastError();
    return pDst->hDst != INVALID_HANDLE_VALUE;
}

int DestDirExists(void*, const char* pszDir)
{
    return utl_DirExists(pszDir);
}

// The destination directory is in the system's code page, the name in the
// package's; both become one wide path.
HANDLE OpenWide(const char* pszPath, const char* pszName, uint32_t uCodePage)
{
    WCHAR wszPath[UTL_PATH_BUF];
    size_t cchDir = strlen(pszPath) - strlen(pszName);
    int cwDir = MultiByteToWideChar(CP_ACP, 0, pszPath, (int)cchDir, wszPath, UTL_PATH_BUF);
    int cwName = cwDir <= 0 ? 0
                            : MultiByteToWideChar(uCodePage, MB_ERR_INVALID_CHARS, pszName, -1,
                                                  wszPath + cwDir, UTL_PATH_BUF - cwDir);
    if (cwName <= 0)
        return INVALID_HANDLE_VALUE;
    return CreateFileW(wszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       NULL, OPEN_ALWAYS, kDestFlags, NULL);
}

int DestOpenAnsi(void* pCtx, const char* pszPath, const char*)
{
    Dest* pDst = (Dest*)pCtx;
    pDst->hDst =
        CreateFileA(pszPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                    OPEN_ALWAYS, kDestFlags, NULL);
    return DestOpened(pDst);
}

int DestOpenWide(void* pCtx, const char* pszPath, const char* pszName)
{
    Dest* pDst = (Dest*)pCtx;
    pDst->hDst = OpenWide(pszPath, pszName, pDst->uCodePage);
    return DestOpened(pDst);
}

// A write that lands fewer bytes than asked found no room: its own error
// code is then none of the system's, so the full disk is named.
uint32_t DestWrite(void* pCtx, const void* pBuf, uint32_t cb)
{
    Dest* pDst = (Dest*)pCtx;
    DWORD dwWritten = 0;
    if (!WriteFile(pDst->hDst, pBuf, cb, &dwWritten, NULL))
        pDst->dwSysErr = GetLastError();
    else if (dwWritten != cb)
        pDst->dwSysErr = ERROR_DISK_FULL;
    else
        return 0;
    return pDst->dwSysErr;
}

int DestEnd(void* pCtx)
{
    if (SetEndOfFile(((Dest*)pCtx)->hDst))
        return 1;
    ((Dest*)pCtx)->dwSysErr = GetLastError();
    return 0;
}

void DestClose(void* pCtx)
{
    utl_CloseHandle(&((Dest*)pCtx)->hDst);
}

void LogToUtlFile(const char* pszLine)
{
    utl_WriteModuleLog("UtlFile", pszLine, 0);
}

// The edge's parts: a source held or named, files made by their ANSI or
// their wide names, the launchers' module log or none (the tool's walks:
// the log folder is the launchers'). The launchers' entries name only what
// they use, so that their images carry nothing else.
struct EdgeParts {
    int (*pfnExists)(void* pCtx, const char* pszPath);
    int (*pfnSize)(void* pCtx, const char* pszPath, uint64_t* pcb);
    int (*pfnOpen)(void* pCtx, const char* pszPath);
    int (*pfnOpenDest)(void* pCtx, const char* pszPath, const char* pszName);
    const PkgCodePage* pCodePage;
    void (*pfnLog)(const char* pszLine);
};

int Unpack(HANDLE hHeldSrc, const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
           DWORD* pdwErr, DWORD* pdwSysErr, DWORD dwOffset, const UnpackVariant* pVariant,
           const EdgeParts* pParts, PkgWatch* pWatch)
{
    Source src = {hHeldSrc, pVariant->bLog && pParts->pfnLog != NULL, 0};
    Dest dst = {INVALID_HANDLE_VALUE, pVariant->uCodePage, 0};
    BYTE buf[PKG_CHUNK];
    const PkgEdge edge = {
        {&src, pParts->pfnExists, pParts->pfnSize, pParts->pfnOpen, SourceSeek, SourceRead},
        {&dst, DestDirExists, pParts->pfnOpenDest, DestWrite, DestEnd, DestClose},
        pParts->pfnLog,
        PKG_PATH_MAX,
        '\\',
        pParts->pCodePage,
        buf,
        PKG_CHUNK,
    };
    uint32_t dwErr = 0;
    int bResult =
        pkg_Walk(pszSrcPath, pszSrcFile, pszDstPath, &dwErr, dwOffset, &edge, pVariant, pWatch);
    DestClose(&dst);
    if (hHeldSrc == INVALID_HANDLE_VALUE)
        utl_CloseHandle(&src.hSrc);
    if (!bResult)
        *pdwErr = dwErr;
    if (!bResult && pdwSysErr != NULL)
        *pdwSysErr = dst.dwSysErr != 0 ? dst.dwSysErr : src.dwSysErr;
    return bResult;
}

const UnpackVariant kSetup = {1, 1, 1, NULL, NULL, 0};
const UnpackVariant kLite = {0, 0, 1, NULL, NULL, 0};

int UnpackByPath(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                 DWORD* pdwErr, DWORD dwOffset, const UnpackVariant* pVariant)
{
    const EdgeParts kParts = {PathExists,   PathSize,        PathOpen,
                              DestOpenAnsi, pkg_CodePage(0), LogToUtlFile};
    return Unpack(INVALID_HANDLE_VALUE, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, NULL, dwOffset,
                  pVariant, &kParts, NULL);
}

int UnpackHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
               DWORD* pdwErr, DWORD dwOffset, const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    const EdgeParts kParts = {HeldIsOpen,   HeldSize,        HeldIsOpen,
                              DestOpenAnsi, pkg_CodePage(0), LogToUtlFile};
    return Unpack(hSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, NULL, dwOffset, pVariant,
                  &kParts, pWatch);
}

} // namespace

int pkg_Unpack(HANDLE hHeldSrc, const char* pszSrcPath, const char* pszSrcFile,
               const char* pszDstPath, DWORD* pdwErr, DWORD* pdwSysErr, DWORD dwOffset,
               const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    const PkgCodePage* pCodePage = pkg_CodePage(pVariant->uCodePage);
    if (pCodePage == NULL) {
        *pdwErr = PKG_ERR_NULL_ARG;
        return 0;
    }
    int bHeld = hHeldSrc != INVALID_HANDLE_VALUE;
    const EdgeParts parts = {bHeld ? HeldIsOpen : PathExists,
                             bHeld ? HeldSize : PathSize,
                             bHeld ? HeldIsOpen : PathOpen,
                             pVariant->uCodePage == 0 ? DestOpenAnsi : DestOpenWide,
                             pCodePage,
                             NULL};
    return Unpack(hHeldSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, pdwSysErr, dwOffset,
                  pVariant, &parts, pWatch);
}

int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* pdwErr, DWORD dwOffset)
{
    return UnpackByPath(pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kSetup);
}

int utl_FileUnpackLite(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                       DWORD* pdwErr, DWORD dwOffset)
{
    return UnpackByPath(pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kLite);
}

int utl_FileUnpackHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                       const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, PkgWatch* pWatch)
{
    return UnpackHeld(hSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kSetup, pWatch);
}

int utl_FileUnpackLiteHeld(HANDLE hSrc, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* pdwErr, DWORD dwOffset, PkgWatch* pWatch)
{
    return UnpackHeld(hSrc, pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &kLite, pWatch);
}
