// setuptool.exe's edge: files through the ANSI calls, as the command line
// names them, the walk through the Win32 unpacker, and pack's sources and
// record names through the wide command line, so that a name the code page
// has no place for is refused rather than quietly changed.
#include "tool_os.h"
#include "package.h"
#include "run_log_lines.h"
#include "setuptool.h"

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

// Standard input as a file of its own handle, read from its start; a pipe
// or the console cannot be sought in.
ToolFile* tos_OpenStdin(int* pbPipe)
{
    HANDLE hIn = GetStdHandle(STD_INPUT_HANDLE);
    *pbPipe = 0;
    if (hIn == INVALID_HANDLE_VALUE || hIn == NULL) {
        SetLastError(ERROR_INVALID_HANDLE);
        return NULL;
    }
    if (GetFileType(hIn) != FILE_TYPE_DISK) {
        *pbPipe = 1;
        SetLastError(ERROR_SEEK_ON_DEVICE);
        return NULL;
    }
    HANDLE hDup = INVALID_HANDLE_VALUE;
    if (!DuplicateHandle(GetCurrentProcess(), hIn, GetCurrentProcess(), &hDup, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return NULL;
    ToolFile* pFile = Wrap(hDup);
    if (pFile != NULL)
        tos_Seek(pFile, 0);
    return pFile;
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

static int SameId(const BY_HANDLE_FILE_INFORMATION* pA, const BY_HANDLE_FILE_INFORMATION* pB)
{
    return pA->dwVolumeSerialNumber == pB->dwVolumeSerialNumber &&
           pA->nFileIndexHigh == pB->nFileIndexHigh && pA->nFileIndexLow == pB->nFileIndexLow;
}

// Windows replaces the file at the name itself (a link included) with
// MoveFileEx; it has no mode to keep.
struct ToolOutput {
    ToolFile file;
    int bStdout;
    int bOldIsFile; // old: the file replaced, or standard output's file
    BY_HANDLE_FILE_INFORMATION old;
    char szPath[TOOL_PATH_BUF];
    char szTemp[TOOL_PATH_BUF];
};

static ToolOutputFault OpenStdout(ToolOutput* pOut)
{
    DWORD dwMode = 0;
    pOut->bStdout = 1;
    pOut->file.h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (pOut->file.h == INVALID_HANDLE_VALUE || pOut->file.h == NULL) {
        pOut->file.h = INVALID_HANDLE_VALUE;
        SetLastError(ERROR_INVALID_HANDLE);
        return TOS_OUTPUT_FAILED;
    }
    if (GetConsoleMode(pOut->file.h, &dwMode))
        return TOS_OUTPUT_TERMINAL;
    pOut->bOldIsFile = GetFileType(pOut->file.h) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(pOut->file.h, &pOut->old);
    return TOS_OUTPUT_OPEN;
}

// The file the output replaces, by its identity, for a source that is it.
static void NoteReplaced(ToolOutput* pOut)
{
    HANDLE h = CreateFileA(pOut->szPath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    pOut->bOldIsFile = GetFileInformationByHandle(h, &pOut->old) != 0;
    CloseHandle(h);
}

// In the target's own folder, so that the move stays on one volume.
static ToolOutputFault OpenNewFile(ToolOutput* pOut, const char* pszPath)
{
    if (tos_IsDir(pszPath))
        return TOS_OUTPUT_FOLDER;
    snprintf(pOut->szPath, sizeof pOut->szPath, "%s", pszPath);
    int cch = snprintf(pOut->szTemp, sizeof pOut->szTemp, "%s.setuptool-%lu.tmp", pszPath,
                       (unsigned long)GetCurrentProcessId());
    if (cch < 0 || (size_t)cch >= PKG_PATH_MAX) {
        pOut->szTemp[0] = '\0';
        return TOS_OUTPUT_NO_ROOM;
    }
    NoteReplaced(pOut);
    DeleteFileA(pOut->szTemp);
    pOut->file.h =
        CreateFileA(pOut->szTemp, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (pOut->file.h != INVALID_HANDLE_VALUE)
        return TOS_OUTPUT_OPEN;
    DWORD dwErr = GetLastError();
    pOut->szTemp[0] = '\0';
    SetLastError(dwErr);
    return dwErr == ERROR_PATH_NOT_FOUND ? TOS_OUTPUT_NO_DIR : TOS_OUTPUT_FAILED;
}

ToolOutputFault tos_OpenOutput(const char* pszPath, ToolOutput** ppOut)
{
    ToolOutput* pOut = (ToolOutput*)calloc(1, sizeof *pOut);
    if (pOut == NULL) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return TOS_OUTPUT_FAILED;
    }
    pOut->file.h = INVALID_HANDLE_VALUE;
    pOut->file.bWritten = 1;
    ToolOutputFault eFault =
        strcmp(pszPath, "-") == 0 ? OpenStdout(pOut) : OpenNewFile(pOut, pszPath);
    if (eFault != TOS_OUTPUT_OPEN) {
        DWORD dwErr = GetLastError();
        tos_DiscardOutput(&pOut);
        SetLastError(dwErr);
    }
    *ppOut = pOut;
    return eFault;
}

ToolFile* tos_OutputFile(ToolOutput* pOut)
{
    return &pOut->file;
}

int tos_IsOutputFile(ToolOutput* pOut, ToolFile* pFile)
{
    BY_HANDLE_FILE_INFORMATION info;
    return pOut->bOldIsFile && GetFileInformationByHandle(pFile->h, &info) &&
           SameId(&info, &pOut->old);
}

int tos_OutputIsStdout(const ToolOutput* pOut)
{
    return pOut->bStdout;
}

uint32_t tos_CommitOutput(ToolOutput** ppOut)
{
    ToolOutput* pOut = *ppOut;
    DWORD dwErr = 0;
    if (!pOut->bStdout) {
        int bClosed = CloseHandle(pOut->file.h) != 0;
        pOut->file.h = INVALID_HANDLE_VALUE;
        if (!bClosed || !pOut->file.bWritten)
            dwErr = bClosed ? ERROR_WRITE_FAULT : GetLastError();
        else if (!MoveFileExA(pOut->szTemp, pOut->szPath,
                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            dwErr = GetLastError();
        else
            pOut->szTemp[0] = '\0';
    }
    tos_DiscardOutput(ppOut);
    SetLastError(dwErr);
    return dwErr;
}

void tos_DiscardOutput(ToolOutput** ppOut)
{
    ToolOutput* pOut = *ppOut;
    if (pOut == NULL)
        return;
    if (!pOut->bStdout && pOut->file.h != INVALID_HANDLE_VALUE)
        CloseHandle(pOut->file.h);
    if (pOut->szTemp[0] != '\0')
        DeleteFileA(pOut->szTemp);
    free(pOut);
    *ppOut = NULL;
}

int tos_StderrIsTerminal()
{
    DWORD dwMode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &dwMode) != 0;
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

uint32_t tos_LastError()
{
    return (uint32_t)GetLastError();
}

uint32_t tos_SystemError()
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

// The unpacker's own check (a plain file of one name) says it; Windows'
// reason is in the message.
const char* tos_WhatStandsThere(const char*)
{
    return NULL;
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

void tos_TextToUtf8(const char* pszText, uint32_t uCodePage, char* pszOut, size_t cbOut)
{
    WCHAR wszText[2048];
    if (MultiByteToWideChar(uCodePage == 0 ? CP_ACP : uCodePage, 0, pszText, -1, wszText,
                            ARRAYSIZE(wszText)) <= 0 ||
        WideCharToMultiByte(CP_UTF8, 0, wszText, -1, pszOut, (int)cbOut, NULL, NULL) <= 0)
        snprintf(pszOut, cbOut, "%s", pszText);
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

// Standard input is walked through a handle of its own, as the launchers
// walk their own image.
int tos_Walk(const char* pszPackage, const char* pszDstDir, uint32_t* pdwErr, uint32_t* pdwSysErr,
             uint32_t dwOffset, const UnpackVariant* pVariant, PkgWatch* pWatch)
{
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    int bPipe = 0;
    ToolFile* pStdin = strcmp(pszPackage, "-") == 0 ? tos_OpenStdin(&bPipe) : NULL;
    if (pStdin != NULL) {
        strcpy(szDir, ".");
        strcpy(szName, "-");
    } else if (!tool_SplitPath(pszPackage, szDir, sizeof szDir, szName, sizeof szName)) {
        *pdwErr = PKG_ERR_PATH_TOO_LONG;
        return 0;
    }
    DWORD dwErr = 0, dwSysErr = 0;
    int bResult = pkg_Unpack(pStdin ? pStdin->h : INVALID_HANDLE_VALUE, szDir, szName, pszDstDir,
                             &dwErr, &dwSysErr, dwOffset, pVariant, pWatch);
    tos_Close(&pStdin);
    if (!bResult) {
        *pdwErr = dwErr;
        *pdwSysErr = dwSysErr;
    }
    return bResult;
}
