// kelvo-setuptool's edge: POSIX files, the walk through the POSIX unpacker,
// and record names converted from UTF-8 file names to the code page the
// release engineer names (ASCII only without one).
#include "tool_os.h"
#include "package_posix.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

const char g_szToolName[] = "kelvo-setuptool";

static int s_nLastError;

struct ToolFile {
    int fd;
    int bWritten; // a write failed: the file is not what was meant
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

ToolFile* tos_CreateNew(const char* pszPath)
{
    return Wrap(open(pszPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
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
    int bClosed = close((*ppFile)->fd) == 0;
    if (!bClosed)
        s_nLastError = errno;
    int bKept = bClosed && (*ppFile)->bWritten;
    free(*ppFile);
    *ppFile = NULL;
    return bKept;
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
    return mkdir(pszPath, 0777) == 0;
}

uint32_t tos_Replace(const char* pszFrom, const char* pszTo)
{
    return rename(pszFrom, pszTo) == 0 ? 0 : (uint32_t)(s_nLastError = errno);
}

void tos_Remove(const char* pszPath)
{
    unlink(pszPath);
}

uint32_t tos_LastError()
{
    return (uint32_t)s_nLastError;
}

int tos_IsMissing(uint32_t dwSysErr)
{
    return dwSysErr == ENOENT || dwSysErr == ENOTDIR;
}

const char* tos_ErrorText(uint32_t dwSysErr)
{
    return strerror((int)dwSysErr);
}

uint32_t tos_ProcessId()
{
    return (uint32_t)getpid();
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

void tos_KeepArguments(int, char**) {}

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

int tos_Walk(const char* pszSrcDir, const char* pszSrcFile, const char* pszDstDir, uint32_t* pdwErr,
             uint32_t* pdwSysErr, uint32_t dwOffset, const UnpackVariant* pVariant,
             PkgWatch* pWatch)
{
    return pkg_Unpack(pszSrcDir, pszSrcFile, pszDstDir, pdwErr, pdwSysErr, dwOffset, pVariant,
                      pWatch);
}
