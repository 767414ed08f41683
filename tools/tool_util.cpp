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

int tool_TakeCodePage(int* pargc, char** argv, uint32_t* puCodePage)
{
    *puCodePage = 0;
    int i = 0;
    while (i < *pargc && strcmp(argv[i], "--codepage") != 0)
        ++i;
    if (i == *pargc)
        return 1;
    const char* pszPage = i + 1 < *pargc ? argv[i + 1] : "";
    if (strcmp(pszPage, "1252") != 0 && strcmp(pszPage, "936") != 0) {
        fprintf(stderr, "%s: --codepage takes 1252 or 936, not \"%s\"\n", g_szToolName, pszPage);
        return 0;
    }
    *puCodePage = (uint32_t)atoi(pszPage);
    for (int j = i; j + 2 < *pargc; ++j)
        argv[j] = argv[j + 2];
    *pargc -= 2;
    return 1;
}

static char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

int tool_SameName(const char* pszA, const char* pszB)
{
    for (; *pszA != '\0' && AsciiLower(*pszA) == AsciiLower(*pszB); ++pszA, ++pszB) {
    }
    return *pszA == '\0' && *pszB == '\0';
}

// In the target's own directory, so that the rename stays on one volume.
int tool_TempBeside(const char* pszPath, char* pszTemp, size_t cbTemp)
{
    int cch =
        snprintf(pszTemp, cbTemp, "%s.setuptool-%lu.tmp", pszPath, (unsigned long)tos_ProcessId());
    if (cch < 0 || (size_t)cch >= cbTemp)
        return 0;
    tos_Remove(pszTemp);
    return 1;
}

int tool_Replace(const char* pszCommand, const char* pszTemp, const char* pszPath)
{
    uint32_t dwErr = tos_Replace(pszTemp, pszPath);
    if (dwErr == 0)
        return 1;
    fprintf(stderr, "%s %s: cannot put the new file in place of \"%s\": %s\n", g_szToolName,
            pszCommand, pszPath, tos_ErrorText(dwErr));
    tos_Remove(pszTemp);
    return 0;
}

// A built setup carries its package at 307200; anything else is taken for a
// bare package.
uint32_t tool_FindPackageOffset(const char* pszPath)
{
    ToolFile* pFile = tos_OpenRead(pszPath);
    uint8_t abMarker[PKG_MARKER_LEN];
    uint32_t cbRead = 0;
    int bAtSetupOffset = pFile != NULL && tos_Seek(pFile, PKG_OFFSET) &&
                         tos_Read(pFile, abMarker, sizeof abMarker, &cbRead) == 0 &&
                         cbRead == sizeof abMarker && pkg_CheckMarker(abMarker) == 0;
    tos_Close(&pFile);
    return bAtSetupOffset ? PKG_OFFSET : 0;
}

int tool_LocatePackage(const char* pszPath, int bOffsetGiven, uint32_t* pdwOffset, char* pszDir,
                       char* pszName, size_t cbEach)
{
    if (!bOffsetGiven)
        *pdwOffset = tool_FindPackageOffset(pszPath);
    return tool_SplitPath(pszPath, pszDir, cbEach, pszName, cbEach);
}

// The texts the tool prints for failures: the package code's own for its
// error numbers, the system's for its error codes. The two are kept apart:
// a system code can carry the same number as one of ours.
const char* tool_ErrorText(uint32_t dwErr)
{
    const char* pszText = pkg_ErrorText(dwErr);
    return pszText ? pszText : tos_ErrorText(dwErr);
}

int tool_Fail(const char* pszCommand, uint32_t dwErr)
{
    fprintf(stderr, "%s %s: error %u: %s\n", g_szToolName, pszCommand, (unsigned)dwErr,
            tool_ErrorText(dwErr));
    return TOOL_FAILED;
}

void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage)
{
    if (dwErr == PKG_ERR_OPEN_DEST && uCodePage == 0)
        fprintf(stderr, "note: names are read in the default code page; a package made for "
                        "another is read with --codepage 1252 or --codepage 936\n");
}
