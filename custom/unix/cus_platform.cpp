// The customisation code's POSIX edge, for the Linux tool: small files
// through descriptors, the program's directory from /proc/self/exe, and the
// private-profile functions done by the INI text editor on the file's bytes,
// rewritten in place as Windows rewrites them.
#include "cus_platform.h"
#include "ini_text.h"
#include "vrf.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

namespace
{

// The whole file, for the INI calls; false when it cannot be read.
bool ReadAll(int fd, std::string* pText)
{
    char abBuf[65536];
    ssize_t n;
    while ((n = read(fd, abBuf, sizeof abBuf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            pText->append(abBuf, (size_t)n);
    }
    return n == 0;
}

bool ReadWhole(const char* pszPath, std::string* pText)
{
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool bRead = ReadAll(fd, pText);
    close(fd);
    return bRead;
}

bool WriteAll(int fd, const std::string& text)
{
    for (size_t nDone = 0; nDone < text.size();) {
        ssize_t n = pwrite(fd, text.data() + nDone, text.size() - nDone, (off_t)nDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        nDone += (size_t)n;
    }
    return ftruncate(fd, (off_t)text.size()) == 0;
}

} // namespace

int cus_JoinPath(char* pszOut, size_t cbOut, const char* pszDir, const char* pszName)
{
    int cch = cbOut == 0 ? -1 : snprintf(pszOut, cbOut, "%s/%s", pszDir, pszName);
    if (cch < 0 || (size_t)cch >= cbOut) {
        if (cbOut > 0)
            pszOut[0] = '\0';
        return 0;
    }
    return 1;
}

int cus_ProgramDir(char* pszOut, size_t cbOut)
{
    ssize_t cch = cbOut == 0 ? -1 : readlink("/proc/self/exe", pszOut, cbOut - 1);
    if (cch <= 0 || (size_t)cch >= cbOut - 1)
        return 0;
    pszOut[cch] = '\0';
    char* pszSlash = strrchr(pszOut, '/');
    if (pszSlash == NULL)
        return 0;
    *pszSlash = '\0';
    return 1;
}

int cus_FileExists(const char* pszPath)
{
    struct stat st;
    return stat(pszPath, &st) == 0 && !S_ISDIR(st.st_mode);
}

int cus_FileSize(const char* pszPath, uint64_t* pcb)
{
    struct stat st;
    if (stat(pszPath, &st) != 0 || S_ISDIR(st.st_mode))
        return 0;
    *pcb = (uint64_t)st.st_size;
    return 1;
}

int cus_ReadFileAt(const char* pszPath, uint32_t dwOffset, void* pBuf, uint32_t cb)
{
    int fd = open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    uint32_t cbDone = 0;
    while (cbDone < cb) {
        ssize_t n = pread(fd, (uint8_t*)pBuf + cbDone, cb - cbDone, (off_t)dwOffset + cbDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        cbDone += (uint32_t)n;
    }
    close(fd);
    return cbDone == cb;
}

// A new file where the old one was, never written through a link.
int cus_WriteNewFile(const char* pszPath, const void* pData, uint32_t cb)
{
    unlink(pszPath);
    int fd = open(pszPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return VRF_ERR_CREATE;
    ssize_t n = write(fd, pData, cb);
    int bClosed = close(fd) == 0;
    return n == (ssize_t)cb && bClosed ? 0 : VRF_ERR_WRITE;
}

// rename() would replace a file of the new name; this must not.
int cus_MoveFile(const char* pszFrom, const char* pszTo)
{
    if (link(pszFrom, pszTo) != 0)
        return 0;
    return unlink(pszFrom) == 0;
}

uint64_t cus_Seed()
{
    struct timespec ts = {};
    clock_gettime(CLOCK_REALTIME, &ts);
    struct timespec mono = {};
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return ((uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec) ^
           ((uint64_t)mono.tv_nsec * 0x2545f4914f6cdd1dull) ^ ((uint64_t)getpid() << 40);
}

unsigned cus_IniString(const char* pszFile, const char* pszSection, const char* pszKey,
                       char* pszOut, unsigned cbOut)
{
    std::string text, value;
    if (cbOut == 0)
        return 0;
    if (!ReadWhole(pszFile, &text) || !ini_GetValue(text, pszSection, pszKey, &value))
        value.clear();
    size_t cch = value.size() < cbOut - 1 ? value.size() : cbOut - 1;
    memcpy(pszOut, value.data(), cch);
    pszOut[cch] = '\0';
    return (unsigned)cch;
}

int cus_IniInt(const char* pszFile, const char* pszSection, const char* pszKey, int nDefault)
{
    std::string text, value;
    if (!ReadWhole(pszFile, &text) || !ini_GetValue(text, pszSection, pszKey, &value) ||
        value.empty())
        return nDefault;
    return (int)strtol(value.c_str(), NULL, 10);
}

// In place, as Windows writes it: a file that may not be written is not
// replaced behind its back.
int cus_SetIniString(const char* pszFile, const char* pszSection, const char* pszKey,
                     const char* pszValue)
{
    int fd = open(pszFile, O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return 0;
    std::string text;
    // Read through the same descriptor: the text changed is the file written.
    bool bDone =
        ReadAll(fd, &text) && WriteAll(fd, ini_SetValue(text, pszSection, pszKey, pszValue));
    return close(fd) == 0 && bDone;
}
