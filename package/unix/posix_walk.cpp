// The POSIX edge of the record walk, for the Linux tool: the source is read
// through a descriptor, and the records become files relative to the
// destination directory's descriptor. A name's backslashes address existing
// subdirectories, each opened without following a link. Each record's file
// is a new one, put in place of the name only when complete, so a failed
// unpack leaves only whole files; what stands at the name is replaced only
// when it is a plain file of one name (a link, a second name of another
// file, a device are refused and never touched). The tool writes no log: a
// Linux build host has no c:\KelvoLog.
#include "package_posix.h"
#include "posix_new_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The tool is not bound by the launchers' 4096-byte buffer: 1 MiB, as a
// plain copy with dd bs=1M, takes the fewest calls the page cache still
// answers quickly (measured against 256 KiB, 2 and 4 MiB, and a source
// read through a mapping, which costs more in page faults than it saves).
uint8_t s_abBuf[1u << 20];

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
    int fdSub; // the subdirectory a record's name addresses; -1 for fdDir itself
    PosixNewFile file;
    int bOld; // a plain file of the record's name is there: stOld
    struct stat stOld;
    const PkgCodePage* pCodePage;
    int bEndRecord; // the walk stops at the end record
    int nErrno;
};

int DestOpenDir(void* pCtx, const char* pszDir)
{
    Dest* pDst = (Dest*)pCtx;
    pDst->fdDir = open(pszDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pDst->fdDir < 0)
        pDst->nErrno = errno;
    else
        pnf_RemoveStale(pDst->fdDir);
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
    DIR* pDir = pnf_ListDir(fdDir);
    if (pDir == NULL)
        return;
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

// What stands at the name may be replaced only when it is a plain file of
// one name that this user may write (Windows' read-only attribute is the
// absence of every write bit, which stops even an administrator): a link, a
// second name of another file, a device or a folder is refused, as the
// Windows unpacker refuses it, and left untouched. 0, or the errno that
// tells why (ENOENT: nothing is there).
int CheckExisting(Dest* pDst, int fdAt, const char* pszName)
{
    struct stat st;
    if (fstatat(fdAt, pszName, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (S_ISLNK(st.st_mode))
        return ELOOP;
    if (S_ISDIR(st.st_mode))
        return EISDIR;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    if (st.st_nlink != 1)
        return EMLINK;
    if ((st.st_mode & 0222) == 0 || faccessat(fdAt, pszName, W_OK, AT_EACCESS) != 0)
        return EACCES;
    pDst->bOld = 1;
    pDst->stOld = st;
    return 0;
}

// The setup unpacker opens the end record's file and never writes it: an
// empty file where none was, an existing one as it stands.
int OpenEndRecord(int fdAt, const char* pszName, int bOld)
{
    if (bOld)
        return 0;
    int fd = openat(fdAt, pszName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    close(fd);
    return 0;
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

// The subdirectories a name's backslashes address, each opened without
// following a link: the folder the file goes in, or -1 with nErrno set.
int OpenSubdirs(Dest* pDst, const char* pszName, const char** ppszLast)
{
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
        CloseFd(&pDst->fdSub);
        if (fdSub < 0)
            return -1;
        fdAt = pDst->fdSub = fdSub;
    }
    *ppszLast = pComp;
    return fdAt;
}

// The walk has checked the name: no empty, dot or device component. The
// record's file is a new one, put in place of the old only when complete.
int DestOpen(void* pCtx, const char*, const char* pszName)
{
    Dest* pDst = (Dest*)pCtx;
    pDst->bOld = 0;
    const char* pszLast = NULL;
    int fdAt = OpenSubdirs(pDst, pszName, &pszLast);
    char szFile[4 * PKG_MAX_NAME + 1];
    if (fdAt < 0 || !ComponentName(pDst, fdAt, pszLast, strlen(pszLast), szFile, sizeof szFile))
        return 0;
    int nErr = CheckExisting(pDst, fdAt, szFile);
    if (nErr == 0 || nErr == ENOENT)
        nErr = pDst->bEndRecord && strcmp(pszName, g_szPkgEndName) == 0
                   ? OpenEndRecord(fdAt, szFile, pDst->bOld)
                   : pnf_Create(&pDst->file, fdAt, szFile);
    pDst->nErrno = nErr;
    return nErr == 0;
}

uint32_t DestWrite(void* pCtx, const void* pBuf, uint32_t cb)
{
    int fd = ((Dest*)pCtx)->file.fd;
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
    Dest* pDst = (Dest*)pCtx;
    pDst->nErrno = pnf_Commit(&pDst->file, pDst->bOld ? &pDst->stOld : NULL);
    return pDst->nErrno == 0;
}

// A file not put in place (a failed record) leaves nothing.
void DestClose(void* pCtx)
{
    Dest* pDst = (Dest*)pCtx;
    pnf_Discard(&pDst->file);
    CloseFd(&pDst->fdSub);
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
    Dest dst = {};
    dst.fdDir = dst.fdSub = dst.file.fd = -1;
    dst.pCodePage = pCodePage;
    dst.bEndRecord = pVariant->bEndRecord;
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
