// kelvo-setuptool's edge: POSIX files, the walk through the POSIX unpacker,
// and record names converted from UTF-8 file names to the code page the
// release engineer names (ASCII only without one). Outputs are written as
// Unix tools write them: through a symbolic link to the file it names, as a
// new file in that file's folder that replaces it in one step, keeping its
// mode, owner and group; never in place of a device, a FIFO or a socket.
#include "tool_os.h"
#include "package_posix.h"
#include "posix_new_file.h"
#include "setuptool.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

const char g_szToolName[] = "kelvo-setuptool";

static int s_nLastError;

struct ToolFile {
    int fd;
    int bWritten;  // a write failed: the file is not what was meant
    int bBorrowed; // standard output: not the tool's to close
};

static ToolFile* Wrap(int fd)
{
    if (fd < 0) {
        s_nLastError = errno;
        return NULL;
    }
    ToolFile* pFile = (ToolFile*)malloc(sizeof *pFile);
    if (pFile == NULL) {
        close(fd);
        s_nLastError = ENOMEM;
        return NULL;
    }
    pFile->fd = fd;
    pFile->bWritten = 1;
    pFile->bBorrowed = 0;
    return pFile;
}

// A plain file only: a FIFO or a device named as a package would block or
// never end.
ToolFile* tos_OpenRead(const char* pszPath)
{
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
        close(fd);
        fd = -1;
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    }
    if (fd >= 0)
        fcntl(fd, F_SETFL, 0);
    return Wrap(fd);
}

// Where standard input is a file (a setup given with <), it is that file,
// read from its start; a pipe cannot be sought in.
ToolFile* tos_OpenStdin(int* pbPipe)
{
    struct stat st;
    *pbPipe = 0;
    if (fstat(0, &st) != 0) {
        s_nLastError = errno;
        return NULL;
    }
    if (!S_ISREG(st.st_mode)) {
        *pbPipe = 1;
        s_nLastError = ESPIPE;
        return NULL;
    }
    return tos_OpenRead("/dev/stdin");
}

uint32_t tos_Read(void* pFile, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    *pcbRead = 0;
    while (*pcbRead < cb) {
        ssize_t n = read(((ToolFile*)pFile)->fd, (uint8_t*)pBuf + *pcbRead, cb - *pcbRead);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return (uint32_t)(s_nLastError = errno);
        if (n == 0)
            break;
        *pcbRead += (uint32_t)n;
    }
    return 0;
}

uint32_t tos_Write(void* pFile, const void* pBuf, uint32_t cb)
{
    ToolFile* pOut = (ToolFile*)pFile;
    for (uint32_t cbDone = 0; cbDone < cb;) {
        ssize_t n = write(pOut->fd, (const uint8_t*)pBuf + cbDone, cb - cbDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            pOut->bWritten = 0;
            return (uint32_t)(s_nLastError = n < 0 ? errno : ENOSPC);
        }
        cbDone += (uint32_t)n;
    }
    return 0;
}

int tos_Size(ToolFile* pFile, uint64_t* pcb)
{
    struct stat st;
    if (fstat(pFile->fd, &st) != 0) {
        s_nLastError = errno;
        return 0;
    }
    *pcb = (uint64_t)st.st_size;
    return 1;
}

int tos_Seek(ToolFile* pFile, uint64_t cbFromStart)
{
    if (lseek(pFile->fd, (off_t)cbFromStart, SEEK_SET) < 0) {
        s_nLastError = errno;
        return 0;
    }
    return 1;
}

int tos_Close(ToolFile** ppFile)
{
    if (*ppFile == NULL)
        return 1;
    int bClosed = (*ppFile)->bBorrowed || close((*ppFile)->fd) == 0;
    if (!bClosed)
        s_nLastError = errno;
    int bKept = bClosed && (*ppFile)->bWritten;
    free(*ppFile);
    *ppFile = NULL;
    return bKept;
}

static int SameId(const struct stat* pA, const struct stat* pB)
{
    return pA->st_dev == pB->st_dev && pA->st_ino == pB->st_ino;
}

struct ToolOutput {
    ToolFile file;
    int bStdout;
    int fdDir;
    PosixNewFile newFile;
    int bReplaces;     // a file stands at the name: stOld
    struct stat stOld; // that file, or standard output's file
    int bOldIsFile;    // stOld is a plain file packing could read
};

// The file a path names, its symbolic links followed as sed --follow-symlinks
// follows them (a link to nothing names the file it would make): 0, or the
// errno.
static int FollowLinks(const char* pszPath, char* pszOut)
{
    if (snprintf(pszOut, PATH_MAX, "%s", pszPath) >= PATH_MAX)
        return ENAMETOOLONG;
    for (int nLinks = 0;; ++nLinks) {
        struct stat st;
        if (lstat(pszOut, &st) != 0)
            return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(st.st_mode))
            return 0;
        if (nLinks == 40)
            return ELOOP;
        char szLink[PATH_MAX];
        ssize_t cch = readlink(pszOut, szLink, sizeof szLink - 1);
        if (cch < 0)
            return errno;
        szLink[cch] = '\0';
        const char* pszSlash = strrchr(pszOut, '/');
        int cchDir = szLink[0] == '/' || pszSlash == NULL ? 0 : (int)(pszSlash - pszOut + 1);
        char szNext[PATH_MAX];
        if (snprintf(szNext, sizeof szNext, "%.*s%s", cchDir, pszOut, szLink) >= PATH_MAX)
            return ENAMETOOLONG;
        strcpy(pszOut, szNext);
    }
}

static ToolOutputFault OpenStdout(ToolOutput* pOut)
{
    pOut->bStdout = 1;
    pOut->file.fd = 1;
    pOut->file.bBorrowed = 1;
    if (isatty(1))
        return TOS_OUTPUT_TERMINAL;
    if (fstat(1, &pOut->stOld) != 0) {
        s_nLastError = errno;
        return TOS_OUTPUT_FAILED;
    }
    pOut->bOldIsFile = S_ISREG(pOut->stOld.st_mode);
    return TOS_OUTPUT_OPEN;
}

// The new file in the folder of the file it replaces.
static ToolOutputFault OpenNewFile(ToolOutput* pOut, const char* pszTarget)
{
    const char* pszSlash = strrchr(pszTarget, '/');
    const char* pszName = pszSlash ? pszSlash + 1 : pszTarget;
    char szDir[PATH_MAX] = ".";
    if (pszSlash == pszTarget)
        strcpy(szDir, "/");
    else if (pszSlash != NULL)
        snprintf(szDir, sizeof szDir, "%.*s", (int)(pszSlash - pszTarget), pszTarget);
    if (*pszName == '\0' || strcmp(pszName, ".") == 0 || strcmp(pszName, "..") == 0)
        return TOS_OUTPUT_FOLDER;
    if (lstat(pszTarget, &pOut->stOld) == 0) {
        if (S_ISDIR(pOut->stOld.st_mode))
            return TOS_OUTPUT_FOLDER;
        if (!S_ISREG(pOut->stOld.st_mode))
            return TOS_OUTPUT_SPECIAL;
        pOut->bReplaces = pOut->bOldIsFile = 1;
    }
    pOut->fdDir = open(szDir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (pOut->fdDir < 0) {
        s_nLastError = errno;
        return errno == ENOENT || errno == ENOTDIR ? TOS_OUTPUT_NO_DIR : TOS_OUTPUT_FAILED;
    }
    pnf_RemoveStale(pOut->fdDir);
    int nErr = pnf_Create(&pOut->newFile, pOut->fdDir, pszName);
    s_nLastError = nErr;
    if (nErr != 0)
        return nErr == ENAMETOOLONG ? TOS_OUTPUT_NO_ROOM : TOS_OUTPUT_FAILED;
    pOut->file.fd = pOut->newFile.fd;
    return TOS_OUTPUT_OPEN;
}

ToolOutputFault tos_OpenOutput(const char* pszPath, ToolOutput** ppOut)
{
    ToolOutput* pOut = (ToolOutput*)calloc(1, sizeof *pOut);
    if (pOut == NULL) {
        s_nLastError = ENOMEM;
        return TOS_OUTPUT_FAILED;
    }
    pOut->fdDir = pOut->newFile.fd = pOut->file.fd = -1;
    pOut->file.bWritten = 1;
    ToolOutputFault eFault = TOS_OUTPUT_FAILED;
    char szTarget[PATH_MAX];
    int nErr = 0;
    struct stat st;
    // What a link leads to that is no file (/dev/stdout on a pipe names
    // "pipe:[...]") is told for what it is.
    if (strcmp(pszPath, "-") == 0)
        eFault = OpenStdout(pOut);
    else if (stat(pszPath, &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        eFault = TOS_OUTPUT_SPECIAL;
    else if ((nErr = FollowLinks(pszPath, szTarget)) != 0)
        s_nLastError = nErr;
    else
        eFault = OpenNewFile(pOut, szTarget);
    if (eFault != TOS_OUTPUT_OPEN)
        tos_DiscardOutput(&pOut);
    *ppOut = pOut;
    return eFault;
}

ToolFile* tos_OutputFile(ToolOutput* pOut)
{
    return &pOut->file;
}

int tos_IsOutputFile(ToolOutput* pOut, ToolFile* pFile)
{
    struct stat st;
    return pOut->bOldIsFile && fstat(pFile->fd, &st) == 0 && SameId(&st, &pOut->stOld);
}

int tos_OutputIsStdout(const ToolOutput* pOut)
{
    return pOut->bStdout;
}

uint32_t tos_CommitOutput(ToolOutput** ppOut)
{
    ToolOutput* pOut = *ppOut;
    int nErr = 0;
    if (!pOut->file.bWritten)
        nErr = s_nLastError != 0 ? s_nLastError : EIO;
    else if (!pOut->bStdout)
        nErr = pnf_Commit(&pOut->newFile, pOut->bReplaces ? &pOut->stOld : NULL);
    tos_DiscardOutput(ppOut);
    if (nErr != 0)
        s_nLastError = nErr;
    return (uint32_t)nErr;
}

void tos_DiscardOutput(ToolOutput** ppOut)
{
    ToolOutput* pOut = *ppOut;
    if (pOut == NULL)
        return;
    pnf_Discard(&pOut->newFile);
    if (pOut->fdDir >= 0)
        close(pOut->fdDir);
    free(pOut);
    *ppOut = NULL;
}

int tos_StderrIsTerminal()
{
    return isatty(2);
}

int tos_IsDir(const char* pszPath)
{
    struct stat st;
    return stat(pszPath, &st) == 0 && S_ISDIR(st.st_mode);
}

int tos_ListDir(const char* pszDir, void (*pfnEntry)(void* pCtx, const char* pszName, int bDir),
                void* pCtx)
{
    DIR* pDir = opendir(pszDir);
    if (pDir == NULL) {
        s_nLastError = errno;
        return 0;
    }
    errno = 0;
    for (struct dirent* pEntry; (pEntry = readdir(pDir)) != NULL; errno = 0) {
        if (strcmp(pEntry->d_name, ".") == 0 || strcmp(pEntry->d_name, "..") == 0)
            continue;
        struct stat st;
        int bDir = pEntry->d_type == DT_DIR ||
                   ((pEntry->d_type == DT_UNKNOWN || pEntry->d_type == DT_LNK) &&
                    fstatat(dirfd(pDir), pEntry->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode));
        pfnEntry(pCtx, pEntry->d_name, bDir);
    }
    int bDone = errno == 0;
    s_nLastError = errno;
    closedir(pDir);
    return bDone;
}

int tos_MakeDir(const char* pszPath)
{
    if (mkdir(pszPath, 0777) == 0)
        return 1;
    s_nLastError = errno;
    return 0;
}

uint32_t tos_LastError()
{
    return (uint32_t)s_nLastError;
}

uint32_t tos_SystemError()
{
    return (uint32_t)errno;
}

int tos_IsMissing(uint32_t dwSysErr)
{
    return dwSysErr == ENOENT || dwSysErr == ENOTDIR;
}

const char* tos_ErrorText(uint32_t dwSysErr)
{
    return strerror((int)dwSysErr);
}

const char* tos_WhatStandsThere(const char* pszPath)
{
    struct stat st;
    if (lstat(pszPath, &st) != 0)
        return NULL;
    if (S_ISLNK(st.st_mode))
        return "is a symbolic link: nothing is written through it";
    if (S_ISDIR(st.st_mode))
        return "is a folder";
    if (!S_ISREG(st.st_mode))
        return "is a device, a FIFO or a socket, not a plain file";
    if (st.st_nlink > 1)
        return "is one of several names of a file (a hard link): nothing is written through it";
    if ((st.st_mode & 0222) == 0 || access(pszPath, W_OK) != 0)
        return "is read-only";
    return NULL;
}

const char g_chToolSeparator = '/';

int tos_IsSeparator(char c)
{
    return c == '/';
}

const char* tos_DefaultLogDir()
{
    return NULL;
}

void tos_KeepArguments(int, char**)
{
    signal(SIGPIPE, SIG_IGN);
}

ToolSource tos_OpenSource(const char* pszArg, ToolFile** ppFile)
{
    struct stat st;
    if (stat(pszArg, &st) != 0) {
        s_nLastError = errno;
        return tos_IsMissing((uint32_t)errno) ? TOS_SOURCE_MISSING : TOS_SOURCE_UNREADABLE;
    }
    if (S_ISDIR(st.st_mode))
        return TOS_SOURCE_DIR;
    *ppFile = tos_OpenRead(pszArg);
    return *ppFile ? TOS_SOURCE_OPEN : TOS_SOURCE_UNREADABLE;
}

int tos_RecordName(const char* pszArg, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    const char* pszSlash = strrchr(pszArg, '/');
    return pkg_ToCodePage(uCodePage, pszSlash ? pszSlash + 1 : pszArg, pszOut, cbOut);
}

void tos_TextToUtf8(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    if (!pkg_FromCodePage(uCodePage, pszText, pszOut, cbOut))
        snprintf(pszOut, cbOut, "%s", pszText);
}

// The terminal's UTF-8; a byte that does not convert is shown as \xNN.
void tos_ShowText(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    if (pkg_FromCodePage(uCodePage, pszText, pszOut, cbOut))
        return;
    size_t i = 0;
    for (const unsigned char* q = (const unsigned char*)pszText; *q != '\0' && i + 5 <= cbOut; ++q)
        i += (size_t)(*q < 0x80 ? sprintf(pszOut + i, "%c", *q)
                                : sprintf(pszOut + i, "\\x%02X", *q));
    pszOut[i < cbOut ? i : cbOut - 1] = '\0';
}

int tos_Walk(const char* pszPackage, const char* pszDstDir, uint32_t* pdwErr, uint32_t* pdwSysErr,
             uint32_t dwOffset, const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (strcmp(pszPackage, "-") == 0)
        pszPackage = "/dev/stdin";
    if (!tool_SplitPath(pszPackage, szDir, sizeof szDir, szName, sizeof szName)) {
        *pdwErr = PKG_ERR_PATH_TOO_LONG;
        return 0;
    }
    return pkg_Unpack(szDir, szName, pszDstDir, pdwErr, pdwSysErr, dwOffset, pVariant, pWatch);
}
