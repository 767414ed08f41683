// Small services shared by the tool's commands.
#include "setuptool.h"
#include "tool_os.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Splits a path given on the command line into the directory and file name
// the package functions take; a bare name lives in ".".
int tool_SplitPath(const char* pszPath, char* pszDir, size_t cbDir, char* pszName, size_t cbName)
{
    const char* pszSep = NULL;
    for (const char* p = pszPath; *p != '\0'; ++p) {
        if (tos_IsSeparator(*p))
            pszSep = p;
    }
    const char* pszFile = pszSep ? pszSep + 1 : pszPath;
    size_t cchDir = pszSep ? (size_t)(pszSep - pszPath) : 1;
    if (*pszFile == '\0' || cchDir >= cbDir || strlen(pszFile) >= cbName)
        return 0;
    // Joined again with one separator, so "C:" and "" stand for roots.
    if (pszSep == NULL)
        strcpy(pszDir, ".");
    else
        snprintf(pszDir, cbDir, "%.*s", (int)cchDir, pszPath);
    strcpy(pszName, pszFile);
    return 1;
}

// Decimal, whatever leading zeros it has ("0307200" is 307200), or
// hexadecimal after "0x". Only digits: no sign, no blanks.
int tool_ParseOffset(const char* pszText, uint32_t* pdwOffset)
{
    int nBase = 10;
    if (pszText[0] == '0' && (pszText[1] == 'x' || pszText[1] == 'X')) {
        nBase = 16;
        pszText += 2;
    }
    if (!(nBase == 16 ? isxdigit((unsigned char)*pszText) : isdigit((unsigned char)*pszText)))
        return 0;
    char* pszEnd = NULL;
    unsigned long long ull = strtoull(pszText, &pszEnd, nBase);
    if (*pszEnd != '\0' || ull > 0xFFFFFFFFull)
        return 0;
    *pdwOffset = (uint32_t)ull;
    return 1;
}

int tool_TakeCodePage(const char* pszCommand, int* pargc, char** argv, uint32_t* puCodePage)
{
    *puCodePage = 0;
    int i = 0;
    while (i < *pargc && !tool_IsFlag(argv[i], "--codepage"))
        ++i;
    if (i == *pargc)
        return 1;
    const char* pszPage = i + 1 < *pargc ? argv[i + 1] : "";
    if (strcmp(pszPage, "1252") != 0 && strcmp(pszPage, "936") != 0) {
        tool_WrongCommandLine(pszCommand, "--codepage takes 1252 or 936, not \"%s\"", pszPage);
        return 0;
    }
    *puCodePage = (uint32_t)atoi(pszPage);
    for (int j = i; j + 2 < *pargc; ++j)
        argv[j] = argv[j + 2];
    *pargc -= 2;
    for (int j = 0; j < *pargc; ++j) {
        if (tool_IsFlag(argv[j], "--codepage")) {
            tool_WrongCommandLine(pszCommand, "--codepage comes once");
            return 0;
        }
    }
    return 1;
}

int tool_TakeOffset(const char* pszCommand, int argc, char** argv, int* pi, uint32_t* pdwOffset)
{
    if (*pi + 1 >= argc) {
        tool_WrongCommandLine(pszCommand, "--offset takes a number");
        return 0;
    }
    if (!tool_ParseOffset(argv[*pi + 1], pdwOffset)) {
        tool_WrongCommandLine(pszCommand,
                              "--offset takes a decimal number, or 0x and hexadecimal digits, "
                              "below 4 GiB, not \"%s\"",
                              argv[*pi + 1]);
        return 0;
    }
    ++*pi;
    return 1;
}

int tool_CheckPath(const char* pszCommand, const char* pszPath)
{
    if (strlen(pszPath) < PKG_PATH_MAX)
        return 1;
    char szWhat[64];
    snprintf(szWhat, sizeof szWhat, "is %u characters long", (unsigned)strlen(pszPath));
    tool_Fail(pszCommand, pszPath, szWhat, PKG_ERR_PATH_TOO_LONG, 0);
    return 0;
}

const char* tool_InputName(const char* pszPath)
{
    return strcmp(pszPath, "-") == 0 ? g_szToolStdin : pszPath;
}

const char* tool_OutputName(const char* pszPath)
{
    return strcmp(pszPath, "-") == 0 ? g_szToolStdout : pszPath;
}

int tool_EmptyName(const char* pszCommand, int argc, const char* const* argv)
{
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '\0')
            return tool_WrongCommandLine(pszCommand, "a file's name is empty (argument %d)", i + 1);
    }
    return TOOL_OK;
}

// Standard input is read as a file: the walk seeks in it (to the package's
// offset, to a signature's certificate table at the file's end).
static ToolFile* OpenStdin(const char* pszCommand)
{
    int bPipe = 0;
    ToolFile* pFile = tos_OpenStdin(&bPipe);
    if (pFile == NULL && bPipe)
        tool_FailToDo(pszCommand, g_szToolStdin, "is a pipe or a terminal, not a file", 0, 0,
                      "list, check and unpack seek in a setup (its package, a signature at its "
                      "end): give the file with < or by its name.");
    else if (pFile == NULL)
        tool_Fail(pszCommand, g_szToolStdin, "cannot be read", PKG_ERR_OPEN, tos_LastError());
    return pFile;
}

ToolFile* tool_OpenInput(const char* pszCommand, const char* pszPath)
{
    if (strcmp(pszPath, "-") == 0)
        return OpenStdin(pszCommand);
    if (!tool_CheckPath(pszCommand, pszPath))
        return NULL;
    if (tos_IsDir(pszPath)) {
        tool_Fail(pszCommand, pszPath, "is a folder, not a file", PKG_ERR_NO_SOURCE, 0);
        return NULL;
    }
    ToolFile* pFile = tos_OpenRead(pszPath);
    if (pFile == NULL) {
        uint32_t dwSysErr = tos_LastError();
        tool_Fail(pszCommand, pszPath, tos_IsMissing(dwSysErr) ? NULL : "cannot be opened",
                  tos_IsMissing(dwSysErr) ? PKG_ERR_NO_SOURCE : PKG_ERR_OPEN, dwSysErr);
    }
    return pFile;
}

namespace
{

// Where the package of an open file stands when no offset was given: at
// 307200 behind a program (1), at 0 in a bare package (0); -1, with the
// failure printed, for a program with too few bytes there for a header.
int FindPackage(const char* pszCommand, const char* pszPath, ToolFile* pFile, uint32_t* pdwOffset)
{
    uint8_t abStart[2] = {0, 0};
    uint32_t cbRead = 0;
    uint64_t cbFile = 0;
    int bProgram = tos_Read(pFile, abStart, sizeof abStart, &cbRead) == 0 && cbRead == 2 &&
                   abStart[0] == 'M' && abStart[1] == 'Z';
    *pdwOffset = 0;
    if (!bProgram)
        return 0;
    *pdwOffset = PKG_OFFSET;
    if (tos_Size(pFile, &cbFile) && cbFile < (uint64_t)PKG_OFFSET + PKG_MARKER_LEN) {
        char szWhat[96];
        snprintf(szWhat, sizeof szWhat,
                 "is a program of %llu bytes, with no package behind it at 307200",
                 (unsigned long long)cbFile);
        tool_Fail(pszCommand, tool_InputName(pszPath), szWhat, PKG_ERR_READ_HEADER, 0);
        return -1;
    }
    return 1;
}

} // namespace

int tool_LocatePackage(const char* pszCommand, const char* pszPath, int bOffsetGiven,
                       uint32_t* pdwOffset)
{
    ToolFile* pFile = tool_OpenInput(pszCommand, pszPath);
    if (pFile == NULL)
        return 0;
    int nFound = bOffsetGiven ? 1 : FindPackage(pszCommand, pszPath, pFile, pdwOffset);
    tos_Close(&pFile);
    return nFound >= 0;
}

int tool_MakeDirs(const char* pszCommand, const char* pszDir)
{
    if (!tool_CheckPath(pszCommand, pszDir))
        return 0;
    char szPart[TOOL_PATH_BUF];
    uint32_t dwSysErr = 0;
    for (size_t i = 1; pszDir[i - 1] != '\0'; ++i) {
        if (pszDir[i] != '\0' && !tos_IsSeparator(pszDir[i]))
            continue;
        memcpy(szPart, pszDir, i);
        szPart[i] = '\0';
        // A drive, a root or a folder already there fails harmlessly.
        if (!tos_IsDir(szPart) && !tos_MakeDir(szPart))
            dwSysErr = tos_LastError();
    }
    if (tos_IsDir(pszDir))
        return 1;
    tool_Fail(pszCommand, pszDir, "cannot be made", PKG_ERR_NO_DEST_DIR, dwSysErr);
    return 0;
}

const char* tool_ShownName(const char* pszName, uint32_t uCodePage)
{
    static char s_szShown[4 * PKG_MAX_NAME + 1];
    tos_ShowText(pszName, uCodePage, s_szShown, sizeof s_szShown);
    return s_szShown;
}

ToolOutput* tool_OpenOutput(const char* pszCommand, const char* pszPath, const char* pszKind)
{
    if (strcmp(pszPath, "-") != 0 && !tool_CheckPath(pszCommand, pszPath))
        return NULL;
    ToolOutput* pOut = NULL;
    char szWhat[200];
    switch (tos_OpenOutput(pszPath, &pOut)) {
    case TOS_OUTPUT_OPEN:
        return pOut;
    case TOS_OUTPUT_FOLDER:
        snprintf(szWhat, sizeof szWhat, "is a folder: name the %s file", pszKind);
        tool_Fail(pszCommand, pszPath, szWhat, PKG_ERR_OPEN, 0);
        break;
    case TOS_OUTPUT_SPECIAL:
        tool_FailToDo(pszCommand, pszPath,
                      "is a device, a FIFO or a socket, not a file: it is never replaced",
                      PKG_ERR_OPEN, 0, "Name a file, or - for standard output.");
        break;
    case TOS_OUTPUT_TERMINAL:
        snprintf(szWhat, sizeof szWhat, "is a terminal: a %s is no text", pszKind);
        tool_FailToDo(pszCommand, g_szToolStdout, szWhat, 0, 0,
                      "Send standard output to a file or a pipe, or name the file.");
        break;
    case TOS_OUTPUT_NO_ROOM:
        tool_Fail(pszCommand, pszPath, "leaves no room for a temporary name beside it",
                  PKG_ERR_PATH_TOO_LONG, 0);
        break;
    case TOS_OUTPUT_NO_DIR:
        tool_FailToDo(pszCommand, pszPath, "cannot be made: its folder is not there", PKG_ERR_OPEN,
                      tos_LastError(), "Make the folder first, or check the path.");
        break;
    default:
        tool_FailToDo(pszCommand, tool_OutputName(pszPath), "cannot be made", PKG_ERR_OPEN,
                      tos_LastError(), "Check the permissions of its folder.");
        break;
    }
    return NULL;
}

int tool_CommitOutput(const char* pszCommand, const char* pszPath, ToolOutput** ppOut)
{
    int bStdout = tos_OutputIsStdout(*ppOut);
    uint32_t dwSysErr = tos_CommitOutput(ppOut);
    if (dwSysErr == 0)
        return 1;
    if (bStdout)
        tool_FailToDo(pszCommand, g_szToolStdout, "cannot be written", 0, dwSysErr, "");
    else
        tool_Fail(pszCommand, pszPath, "cannot be replaced by the new file", PKG_ERR_DELETE_PACKAGE,
                  dwSysErr);
    return 0;
}

int tool_FailOutput(const char* pszCommand, const char* pszPath, ToolOutput** ppOut,
                    uint32_t dwSysErr)
{
    int bStdout = tos_OutputIsStdout(*ppOut);
    tos_DiscardOutput(ppOut);
    if (bStdout) {
        tool_FailToDo(pszCommand, g_szToolStdout, "cannot be written", 0, dwSysErr, "");
        return TOOL_USAGE;
    }
    return tool_Fail(pszCommand, pszPath, "cannot be written", PKG_ERR_WRITE, dwSysErr);
}

int tool_IsOwnOutput(const char* pszCommand, ToolOutput* pOut, ToolFile* pFile, const char* pszPath,
                     const char* pszKind)
{
    if (!tos_IsOutputFile(pOut, pFile))
        return 0;
    char szWhat[160];
    snprintf(szWhat, sizeof szWhat, "is the %s being written (the same file%s)", pszKind,
             tos_OutputIsStdout(pOut) ? " as standard output" : ", by this name or another");
    tool_FailToDo(pszCommand, pszPath, szWhat, 0, 0,
                  "Leave it out, or write the new file elsewhere.");
    return 1;
}
