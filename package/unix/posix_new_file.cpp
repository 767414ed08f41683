// New files linked into place when complete. A nameless file (O_TMPFILE)
// vanishes with its process however it ends; a named temporary file is the
// fallback, named "<name>.setuptool-<host>-<pid>.tmp" so that the signal
// handler, and a later run on this host, know it for ours. Only one such
// name is pending at a time: the tool writes one output, or one record's
// file, at a time.
#include "posix_new_file.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace
{

const char kTempMark[] = ".setuptool-";
const char kTempEnd[] = ".tmp";

// The name the signal handler removes, in the folder it lies in.
volatile sig_atomic_t s_bPending;
int s_fdPendingDir = -1;
char s_szPending[PNF_NAME_BUF];

void RemovePendingAndDie(int nSignal)
{
    if (s_bPending)
        unlinkat(s_fdPendingDir, s_szPending, 0);
    signal(nSignal, SIG_DFL);
    raise(nSignal);
}

// Once per process; a signal the caller's shell ignores (nohup, a
// background job) stays ignored.
void CatchSignals()
{
    static int s_bCaught;
    if (s_bCaught)
        return;
    s_bCaught = 1;
    static const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    for (int nSignal : kSignals) {
        struct sigaction old;
        if (sigaction(nSignal, NULL, &old) == 0 && old.sa_handler == SIG_IGN)
            continue;
        struct sigaction act = {};
        act.sa_handler = RemovePendingAndDie;
        sigemptyset(&act.sa_mask);
        sigaction(nSignal, &act, NULL);
    }
}

void SetPending(int fdDir, const char* pszTemp)
{
    s_bPending = 0;
    s_fdPendingDir = fdDir;
    snprintf(s_szPending, sizeof s_szPending, "%s", pszTemp);
    s_bPending = 1;
}

void ClearPending()
{
    s_bPending = 0;
}

// This host's name as it goes into a file name: letters, digits and '-'.
const char* HostTag()
{
    static char s_szHost[33];
    if (s_szHost[0] != '\0')
        return s_szHost;
    char szHost[256] = "";
    gethostname(szHost, sizeof szHost - 1);
    size_t n = 0;
    for (const char* p = szHost; *p != '\0' && *p != '.' && n + 1 < sizeof s_szHost; ++p) {
        if ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || (*p >= '0' && *p <= '9') ||
            *p == '-')
            s_szHost[n++] = *p;
    }
    if (n == 0)
        s_szHost[n++] = 'h';
    s_szHost[n] = '\0';
    return s_szHost;
}

int TempName(const char* pszName, char* pszTemp)
{
    int cch = snprintf(pszTemp, PNF_NAME_BUF, "%s%s%s-%ld%s", pszName, kTempMark, HostTag(),
                       (long)getpid(), kTempEnd);
    return cch > 0 && cch < PNF_NAME_BUF && cch <= 255;
}

// The process id of one of this host's temporary names, or 0.
long TempOwner(const char* pszEntry)
{
    size_t cch = strlen(pszEntry);
    size_t cchEnd = sizeof kTempEnd - 1;
    const char* pszMark = NULL;
    for (const char* p = strstr(pszEntry, kTempMark); p != NULL; p = strstr(p + 1, kTempMark))
        pszMark = p;
    if (pszMark == NULL || cch < cchEnd || strcmp(pszEntry + cch - cchEnd, kTempEnd) != 0)
        return 0;
    const char* pszHost = pszMark + sizeof kTempMark - 1;
    size_t cchHost = strlen(HostTag());
    if (strncmp(pszHost, HostTag(), cchHost) != 0 || pszHost[cchHost] != '-')
        return 0;
    char* pszDigitsEnd = NULL;
    long nPid = strtol(pszHost + cchHost + 1, &pszDigitsEnd, 10);
    return nPid > 0 && pszDigitsEnd == pszEntry + cch - cchEnd ? nPid : 0;
}

// The nameless file takes a name: through /proc, which any process may do,
// else by its descriptor, which needs privilege.
int LinkNameless(const PosixNewFile* pFile, const char* pszName)
{
    char szProc[64];
    snprintf(szProc, sizeof szProc, "/proc/self/fd/%d", pFile->fd);
    if (linkat(AT_FDCWD, szProc, pFile->fdDir, pszName, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno == ENOENT && linkat(pFile->fd, "", pFile->fdDir, pszName, AT_EMPTY_PATH) == 0)
        return 0;
    return errno;
}

// A replaced file's owner and group go first: changing them clears the
// set-user-ID and set-group-ID bits, which the mode then restores. A user
// who may not give the file away keeps at least the group where allowed.
void KeepOwnerAndMode(int fd, const struct stat* pstKeep)
{
    if (fchown(fd, pstKeep->st_uid, pstKeep->st_gid) != 0 &&
        fchown(fd, (uid_t)-1, pstKeep->st_gid) != 0) {
        // the new file stays this user's
    }
    fchmod(fd, pstKeep->st_mode & 07777);
}

int FailCommit(PosixNewFile* pFile, int nErr)
{
    pnf_Discard(pFile);
    return nErr;
}

// A nameless file takes its name through /proc (a system that has none
// mounted, a bare container, takes the named temporary file instead).
int CanNameNameless()
{
    static int s_nCan = -1;
    if (s_nCan < 0)
        s_nCan = access("/proc/self/fd", X_OK) == 0;
    return s_nCan;
}

} // namespace

int pnf_Create(PosixNewFile* pFile, int fdDir, const char* pszName)
{
    pFile->fdDir = fdDir;
    pFile->fd = -1;
    pFile->bNamed = 0;
    pFile->szTemp[0] = '\0';
    if (snprintf(pFile->szName, sizeof pFile->szName, "%s", pszName) >= (int)sizeof pFile->szName)
        return ENAMETOOLONG;
    CatchSignals();
    pFile->fd = CanNameNameless() ? openat(fdDir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1;
    if (pFile->fd >= 0)
        return 0;
    // No O_TMPFILE here (EOPNOTSUPP, or EISDIR from a kernel that predates it).
    if (CanNameNameless() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
    if (!TempName(pszName, pFile->szTemp))
        return ENAMETOOLONG;
    pnf_RemoveStale(fdDir);
    SetPending(fdDir, pFile->szTemp);
    pFile->fd =
        openat(fdDir, pFile->szTemp, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (pFile->fd < 0) {
        int nErr = errno;
        ClearPending();
        return nErr;
    }
    pFile->bNamed = 1;
    return 0;
}

int pnf_Commit(PosixNewFile* pFile, const struct stat* pstKeep)
{
    if (pstKeep != NULL)
        KeepOwnerAndMode(pFile->fd, pstKeep);
    if (!pFile->bNamed) {
        // Nothing at the name: linked there at once. Something there (or
        // something that came meanwhile): a name beside it, then a rename.
        int nErr = pstKeep == NULL ? LinkNameless(pFile, pFile->szName) : EEXIST;
        if (nErr == 0) {
            close(pFile->fd);
            pFile->fd = -1;
            return 0;
        }
        if (nErr != EEXIST || !TempName(pFile->szName, pFile->szTemp))
            return FailCommit(pFile, nErr != EEXIST ? nErr : ENAMETOOLONG);
        SetPending(pFile->fdDir, pFile->szTemp);
        unlinkat(pFile->fdDir, pFile->szTemp, 0); // one of ours a killed run left
        nErr = LinkNameless(pFile, pFile->szTemp);
        if (nErr != 0) {
            ClearPending();
            return FailCommit(pFile, nErr);
        }
        pFile->bNamed = 1;
    }
    // A network file system reports a failed write at the latest here.
    int bClosed = close(pFile->fd) == 0;
    int nErr = bClosed ? 0 : errno;
    pFile->fd = -1;
    if (bClosed && renameat(pFile->fdDir, pFile->szTemp, pFile->fdDir, pFile->szName) != 0)
        nErr = errno;
    if (nErr != 0)
        return FailCommit(pFile, nErr);
    ClearPending();
    pFile->bNamed = 0;
    return 0;
}

void pnf_Discard(PosixNewFile* pFile)
{
    if (pFile->fd >= 0)
        close(pFile->fd);
    pFile->fd = -1;
    if (pFile->bNamed) {
        unlinkat(pFile->fdDir, pFile->szTemp, 0);
        ClearPending();
    }
    pFile->bNamed = 0;
}

DIR* pnf_ListDir(int fdDir)
{
    int fdList = openat(fdDir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* pDir = fdList >= 0 ? fdopendir(fdList) : NULL;
    if (pDir == NULL && fdList >= 0)
        close(fdList);
    return pDir;
}

void pnf_RemoveStale(int fdDir)
{
    DIR* pDir = pnf_ListDir(fdDir);
    if (pDir == NULL)
        return;
    for (struct dirent* pEntry; (pEntry = readdir(pDir)) != NULL;) {
        long nPid = TempOwner(pEntry->d_name);
        struct stat st;
        if (nPid == 0 || nPid == (long)getpid() || kill((pid_t)nPid, 0) == 0 || errno != ESRCH ||
            fstatat(fdDir, pEntry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid())
            continue;
        unlinkat(fdDir, pEntry->d_name, 0);
    }
    closedir(pDir);
}
