// setuptool.exe's edge: files through the ANSI calls, as the command line
// names them, the walk through the Win32 unpacker, and pack's sources and
// record names through the wide command line, so that a name the code page
// has no place for is refused rather than quietly changed.
#include "tool_os.h"
#include "package.h"
#include "run_log_lines.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char g_szToolName[] = "setuptool";

struct ToolFile {
    HANDLE h;
    int bWritten; // a write failed: the file is not what was meant
};

static ToolFile* Wrap(HANDLE h)
{
    if (h == INVALID_HANDLE_VALUE)
        return NULL;
    ToolFile* pFile = (ToolFile*)malloc(sizeof *pFile);
    if (pFile == NULL) {
        CloseHandle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return NULL;
    }
    pFile->h = h;
    pFile->bWritten = 1;
    return pFile;
}

ToolFile* tos_OpenRead(const char* pszPath)
{
    return Wrap(CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL));
}

ToolFile* tos_CreateNew(const char* pszPath)
{
    return Wrap(
        CreateFileA(pszPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
}

uint32_t tos_Read(void* pFile, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    DWORD dwRead = 0;
    BOOL bRead = ReadFile(((ToolFile*)pFile)->h, pBuf, cb, &dwRead, NULL);
    *pcbRead = dwRead;
    return bRead ? 0 : (uint32_t)GetLastError();
}

// A short write found no room: the system's code for it is a full disk.
uint32_t tos_Write(void* pFile, const void* pBuf, uint32_t cb)
{
    DWORD dwWritten = 0;
    uint32_t dwErr = 0;
    if (!WriteFile(((ToolFile*)pFile)->h, pBuf, cb, &dwWritten, NULL))
        dwErr = (uint32_t)GetLastError();
    else if (dwWritten != cb)
        dwErr = ERROR_DISK_FULL;
    if (dwErr != 0)
        ((ToolFile*)pFile)->bWritten = 0;
    return dwErr;
}

int tos_Size(ToolFile* pFile, uint64_t* pcb)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(pFile->h, &size))
        return 0;
    *pcb = (uint64_t)size.QuadPart;
    return 1;
}

int tos_Seek(ToolFile* pFile, uint64_t cbFromStart)
{
    LARGE_INTEGER pos;
    pos.QuadPart = (LONGLONG)cbFromStart;
    return SetFilePointerEx(pFile->h, pos, NULL, FILE_BEGIN) ? 1 : 0;
}

int tos_Close(ToolFile** ppFile)
{
    if (*ppFile == NULL)
        return 1;
    int bKept = CloseHandle((*ppFile)->h) && (*ppFile)->bWritten;
    free(*ppFile);
    *ppFile = NULL;
    return bKept;
}

int tos_IsDir(const char* pszPath)
{
    DWORD dwAttr = GetFileAttributesA(pszPath);
    return dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_DIRECTORY);
}

int tos_ListDir(const char* pszDir, void (*pfnEntry)(void* pCtx, const char* pszName, int bDir),
                void* pCtx)
{
    char szPattern[TOOL_PATH_BUF];
    int cch = snprintf(szPattern, sizeof szPattern, "%s\\*", pszDir);
    if (cch < 0 || (size_t)cch >= sizeof szPattern) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return 0;
    }
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(szPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND; // an empty drive root
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            pfnEntry(pCtx, fd.cFileName, (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    } while (FindNextFileA(hFind, &fd));
    DWORD dwErr = GetLastError();
    FindClose(hFind);
    SetLastError(dwErr);
    return dwErr == ERROR_NO_MORE_FILES;
}

int tos_MakeDir(const char* pszPath)
{
    return CreateDirectoryA(pszPath, NULL) ? 1 : 0;
}

uint32_t tos_Replace(const char* pszFrom, const char* pszTo)
{
    if (MoveFileExA(pszFrom, pszTo, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return (uint32_t)GetLastError();
}

void tos_Remove(const char* pszPath)
{
    DeleteFileA(pszPath);
}

uint32_t tos_LastError()
{
    return (uint32_t)GetLastError();
}

int tos_IsMissing(uint32_t dwSysErr)
{
    return dwSysErr == ERROR_FILE_NOT_FOUND || dwSysErr == ERROR_PATH_NOT_FOUND;
}

const char* tos_ErrorText(uint32_t dwSysErr)
{
    static char s_szText[128];
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                            FORMAT_MESSAGE_MAX_WIDTH_MASK,
                        NULL, dwSysErr, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), s_szText,
                        sizeof s_szText, NULL))
        snprintf(s_szText, sizeof s_szText, "system code %u", (unsigned)dwSysErr);
    size_t cch = strlen(s_szText);
    while (cch > 0 && (s_szText[cch - 1] == ' ' || s_szText[cch - 1] == '.'))
        s_szText[--cch] = '\0';
    return s_szText;
}

uint32_t tos_ProcessId()
{
    return (uint32_t)GetCurrentProcessId();
}

const char g_chToolSeparator = '\\';

int tos_IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

const char* tos_DefaultLogDir()
{
    return RUN_LOG_DIR;
}

// main's own argv and the same command line in UTF-16: an ANSI argument
// holds a '?' (or a look-alike) for every character the code page lacks.
static char** s_argv;
static int s_argc;
static WCHAR** s_wargv;
static int s_wargc;

void tos_KeepArguments(int argc, char** argv)
{
    s_argc = argc;
    s_argv = argv;
    s_wargv = CommandLineToArgvW(GetCommandLineW(), &s_wargc);
}

// The wide form of one of main's arguments; NULL when the two command lines
// do not match.
static const WCHAR* WideArgument(const char* pszArg)
{
    for (int i = 0; i < s_argc; ++i) {
        if (s_argv[i] == pszArg)
            return s_wargv != NULL && s_wargc == s_argc ? s_wargv[i] : NULL;
    }
    return NULL;
}

ToolSource tos_OpenSource(const char* pszArg, ToolFile** ppFile)
{
    const WCHAR* pwszPath = WideArgument(pszArg);
    DWORD dwAttr = pwszPath ? GetFileAttributesW(pwszPath) : GetFileAttributesA(pszArg);
    if (dwAttr == INVALID_FILE_ATTRIBUTES)
        return tos_IsMissing(GetLastError()) ? TOS_SOURCE_MISSING : TOS_SOURCE_UNREADABLE;
    if (dwAttr & FILE_ATTRIBUTE_DIRECTORY)
        return TOS_SOURCE_DIR;
    HANDLE h = pwszPath ? CreateFileW(pwszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL)
                        : CreateFileA(pszArg, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    *ppFile = Wrap(h);
    return *ppFile ? TOS_SOURCE_OPEN : TOS_SOURCE_UNREADABLE;
}

// Without best-fit mapping: a character the code page lacks is refused, not
// replaced by a look-alike that would name another file.
int tos_RecordName(const char* pszArg, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    const WCHAR* pwszPath = WideArgument(pszArg);
    if (pwszPath == NULL) { // the ANSI command line is all there is
        const char* pszName = pszArg;
        for (const char* p = pszArg; *p != '\0'; ++p) {
            if (tos_IsSeparator(*p))
                pszName = p + 1;
        }
        return uCodePage == 0 && snprintf(pszOut, cbOut, "%s", pszName) < (int)cbOut;
    }
    const WCHAR* pwszName = pwszPath;
    for (const WCHAR* p = pwszPath; *p != L'\0'; ++p) {
        if (*p == L'\\' || *p == L'/')
            pwszName = p + 1;
    }
    BOOL bUsedDefault = FALSE;
    int cb = WideCharToMultiByte(uCodePage == 0 ? CP_ACP : uCodePage, WC_NO_BEST_FIT_CHARS,
                                 pwszName, -1, pszOut, (int)cbOut, NULL, &bUsedDefault);
    return cb > 0 && !bUsedDefault;
}

// A text of another code page is shown as this console's code page can.
void tos_ShowText(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    WCHAR wszText[2048];
    if (uCodePage == 0 ||
        MultiByteToWideChar(uCodePage, 0, pszText, -1, wszText, ARRAYSIZE(wszText)) <= 0 ||
        WideCharToMultiByte(CP_ACP, 0, wszText, -1, pszOut, (int)cbOut, NULL, NULL) <= 0)
        snprintf(pszOut, cbOut, "%s", pszText);
}

int tos_Walk(const char* pszSrcDir, const char* pszSrcFile, const char* pszDstDir, uint32_t* pdwErr,
             uint32_t* pdwSysErr, uint32_t dwOffset, const UnpackVariant* pVariant,
             PkgWatch* pWatch)
{
    DWORD dwErr = 0, dwSysErr = 0;
    int bResult = pkg_Unpack(INVALID_HANDLE_VALUE, pszSrcDir, pszSrcFile, pszDstDir, &dwErr,
                             &dwSysErr, dwOffset, pVariant, pWatch);
    if (!bResult) {
        *pdwErr = dwErr;
        *pdwSysErr = dwSysErr;
    }
    return bResult;
}
