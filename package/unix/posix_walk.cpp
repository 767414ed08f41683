// The POSIX edge of the record walk, for the Linux tool: the source is read
// through a descriptor, and the records become files relative to the
// destination directory's descriptor. A name's backslashes address existing
// subdirectories, each opened without following a link; the file itself is
// opened without following one too, and only a plain file is written. The
// tool writes no log: a Linux build host has no c:\KelvoLog.
#include "package_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The tool is not bound by the launchers' 4096-byte buffer; 256 KiB keeps
// the read, the scrambling and the write of a chunk within the CPU's cache.
uint8_t s_abBuf[1u << 18];

struct Source {
    int fd;
    int nErrno; // of a call that failed, for the tool's messages
};

// Opened at once, so that the size is the opened file's; a file that exists
// but does not open is told apart later (156), as the walk asks in turn.
int SourceExists(void* pCtx, const char* pszPath)
{
    Source* pSrc = (Source*)pCtx;
    struct stat st;
    if (stat(pszPath, &st) != 0 || !S_ISREG(st.st_mode)) {
        pSrc->nErrno = errno;
        return 0;
    }
    // Whatever was swapped in since the stat, a FIFO must not block the walk:
    // opened without waiting, and kept only when it is still a plain file.
    pSrc->fd = open(pszPath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (pSrc->fd >= 0 && (fstat(pSrc->fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        close(pSrc->fd);
        pSrc->fd = -1;
        errno = EINVAL;
    }
    if (pSrc->fd >= 0)
        fcntl(pSrc->fd, F_SETFL, 0);
    else
        pSrc->nErrno = errno;
    return 1;
}

int SourceSize(void* pCtx, const char* pszPath, uint64_t* pcb)
{
    Source* pSrc = (Source*)pCtx;
    struct stat st;
    if ((pSrc->fd >= 0 ? fstat(pSrc->fd, &st) : stat(pszPath, &st)) != 0 || !S_ISREG(st.st_mode))
        return 0;
    *pcb = (uint64_t)st.st_size;
    return 1;
}

int SourceOpen(void* pCtx, const char*)
{
    return ((Source*)pCtx)->fd >= 0;
}

void SourceSeek(void* pCtx, uint64_t cbFromStart)
{
    lseek(((Source*)pCtx)->fd, (off_t)cbFromStart, SEEK_SET);
}

uint32_t ReadFully(int fd, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    *pcbRead = 0;
    while (*pcbRead < cb) {
        ssize_t n = read(fd, (uint8_t*)pBuf + *pcbRead, cb - *pcbRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return (uint32_t)errno;
        if (n == 0)
            break;
        *pcbRead += (uint32_t)n;
    }
    return 0;
}

uint32_t SourceRead(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    uint32_t dwErr = ReadFully(((Source*)pCtx)->fd, pBuf, cb, pcbRead);
    if (dwErr != 0)
        ((Source*)pCtx)->nErrno = (int)dwErr;
    return dwErr;
}

struct Dest {
    int fdDir;
    int fdFile;
    const PkgCodePage* pCodePage;
    int nErrno;
};

int DestOpenDir(void* pCtx, const char* pszDir)
{
    Dest* pDst = (Dest*)pCtx;
    pDst->fdDir = open(pszDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pDst->fdDir < 0)
        pDst->nErrno = errno;
    return pDst->fdDir >= 0;
}

void CloseFd(int* pfd)
{
    if (*pfd >= 0)
        close(*pfd);
    *pfd = -1;
}

// Windows matches names without regard to the case of ASCII letters: a
// record "A.TXT" after "a.txt" writes the same file there, and so it does
// here. An entry of such a name takes the place of the one asked for.
void MatchExisting(int fdDir, char* pszName, size_t cbName)
{
    int fdList = openat(fdDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* pDir = fdList >= 0 ? fdopendir(fdList) : NULL;
    if (pDir == NULL) {
        if (fdList >= 0)
            close(fdList);
        return;
    }
    for (struct dirent* pEntry; (pEntry = readdir(pDir)) != NULL;) {
        if (pkg_SameName(pEntry->d_name, pszName) && strlen(pEntry->d_name) < cbName) {
            strcpy(pszName, pEntry->d_name);
            break;
        }
    }
    closedir(pDir);
}

// One component of a record name, as this file system names it in fdDir.
int ComponentName(const Dest* pDst, int fdDir, const char* pComp, size_t cch, char* pszOut,
                  size_t cbOut)
{
    char szBytes[PKG_MAX_NAME + 1];
    memcpy(szBytes, pComp, cch);
    szBytes[cch] = '\0';
    if (!pkg_FromCodePage(pDst->pCodePage->uCodePage, szBytes, pszOut, cbOut))
        return 0;
    MatchExisting(fdDir, pszOut, cbOut);
    return 1;
}

// A plain file, opened without following a link and without blocking on
// anything else that might stand there.
int OpenPlainFile(int fdDir, const char* pszName)
{
    int fd = openat(fdDir, pszName,
                    O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    struct stat st = {};
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        CloseFd(&fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL; // the reason the tool gives
    }
    if (fd >= 0)
        fcntl(fd, F_SETFL, 0);
    return fd;
}

// The next backslash that is one: in a double-byte code page the second
// byte of a character may be 0x5C too.
const char* NextSeparator(const PkgCodePage* pCodePage, const char* p)
{
    for (; *p != '\0'; ++p) {
        if (*p == '\\')
            return p;
        if (!pCodePage->bAsciiOnly && pkg_IsLeadByte(pCodePage->uCodePage, (uint8_t)*p) &&
            p[1] != '\0')
            ++p;
    }
    return NULL;
}

// The walk has checked the name: no empty, dot or device component.
int DestOpen(void* pCtx, const char*, const char* pszName)
{
    Dest* pDst = (Dest*)pCtx;
    int fdParent = -1;
    int fdAt = pDst->fdDir;
    const char* pComp = pszName;
    for (const char* pSep; (pSep = NextSeparator(pDst->pCodePage, pComp)) != NULL;
         pComp = pSep + 1) {
        char szDir[4 * PKG_MAX_NAME + 1];
        int fdSub = -1;
        if (ComponentName(pDst, fdAt, pComp, (size_t)(pSep - pComp), szDir, sizeof szDir))
            fdSub = openat(fdAt, szDir, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fdSub < 0)
            pDst->nErrno = errno;
        CloseFd(&fdParent);
        if (fdSub < 0)
            return 0;
        fdAt = fdParent = fdSub;
    }
    char szFile[4 * PKG_MAX_NAME + 1];
    if (ComponentName(pDst, fdAt, pComp, strlen(pComp), szFile, sizeof szFile)) {
        pDst->fdFile = OpenPlainFile(fdAt, szFile);
        if (pDst->fdFile < 0)
            pDst->nErrno = errno;
    }
    CloseFd(&fdParent);
    return pDst->fdFile >= 0;
}

uint32_t DestWrite(void* pCtx, const void* pBuf, uint32_t cb)
{
    int fd = ((Dest*)pCtx)->fdFile;
    for (uint32_t cbDone = 0; cbDone < cb;) {
        ssize_t n = write(fd, (const uint8_t*)pBuf + cbDone, cb - cbDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return (uint32_t)(((Dest*)pCtx)->nErrno = n < 0 ? errno : ENOSPC);
        cbDone += (uint32_t)n;
    }
    return 0;
}

int DestEnd(void* pCtx)
{
    int fd = ((Dest*)pCtx)->fdFile;
    off_t pos = lseek(fd, 0, SEEK_CUR);
    if (pos >= 0 && ftruncate(fd, pos) == 0)
        return 1;
    ((Dest*)pCtx)->nErrno = errno;
    return 0;
}

void DestClose(void* pCtx)
{
    CloseFd(&((Dest*)pCtx)->fdFile);
}

} // namespace

int pkg_Unpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
               uint32_t* pdwErr, uint32_t* pdwSysErr, uint32_t dwOffset,
               const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    const PkgCodePage* pCodePage = pkg_CodePage(pVariant->uCodePage);
    if (pCodePage == NULL) {
        *pdwErr = PKG_ERR_NULL_ARG;
        return 0;
    }
    Source src = {-1, 0};
    Dest dst = {-1, -1, pCodePage, 0};
    const PkgEdge edge = {
        {&src, SourceExists, SourceSize, SourceOpen, SourceSeek, SourceRead},
        {&dst, DestOpenDir, DestOpen, DestWrite, DestEnd, DestClose},
        NULL,
        PKG_PATH_MAX,
        '/',
        pCodePage,
        s_abBuf,
        sizeof s_abBuf,
    };
    int bResult =
        pkg_Walk(pszSrcPath, pszSrcFile, pszDstPath, pdwErr, dwOffset, &edge, pVariant, pWatch);
    if (!bResult && pdwSysErr != NULL)
        *pdwSysErr = (uint32_t)(dst.nErrno != 0 ? dst.nErrno : src.nErrno);
    DestClose(&dst);
    CloseFd(&dst.fdDir);
    CloseFd(&src.fd);
    return bResult;
}
