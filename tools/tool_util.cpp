// Small services shared by the tool's commands.
#include "setuptool.h"
#include "package.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Splits a path given on the command line into the directory and file name
// the package functions take; a bare name lives in ".".
int tool_SplitPath(const char* pszPath, char* pszDir, size_t cbDir, char* pszName, size_t cbName)
{
    const char* pszBack = strrchr(pszPath, '\\');
    const char* pszSlash = strrchr(pszPath, '/');
    const char* pszSep = pszBack > pszSlash ? pszBack : pszSlash;
    const char* pszFile = pszSep ? pszSep + 1 : pszPath;
    size_t cchDir = pszSep ? (size_t)(pszSep - pszPath) : 1;
    if (*pszFile == '\0' || cchDir >= cbDir || strlen(pszFile) >= cbName)
        return 0;
    // Joined again with one backslash, so "C:" and "" stand for roots.
    if (pszSep == NULL)
        strcpy(pszDir, ".");
    else
        snprintf(pszDir, cbDir, "%.*s", (int)cchDir, pszPath);
    strcpy(pszName, pszFile);
    return 1;
}

// Decimal, whatever leading zeros it has ("0307200" is 307200), or
// hexadecimal after "0x". Only digits: no sign, no blanks.
int tool_ParseOffset(const char* pszText, DWORD* pdwOffset)
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
    *pdwOffset = (DWORD)ull;
    return 1;
}

// In the target's own directory, so that the rename stays on one volume.
int tool_TempBeside(const char* pszPath, char* pszTemp, size_t cbTemp)
{
    int cch = snprintf(pszTemp, cbTemp, "%s.setuptool-%lu.tmp", pszPath,
                       (unsigned long)GetCurrentProcessId());
    if (cch < 0 || (size_t)cch >= cbTemp || cch >= MAX_PATH)
        return 0;
    DeleteFileA(pszTemp);
    return 1;
}

int tool_Replace(const char* pszCommand, const char* pszTemp, const char* pszPath)
{
    if (MoveFileExA(pszTemp, pszPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 1;
    fprintf(stderr, "setuptool %s: cannot put the new file in place of \"%s\": %s\n", pszCommand,
            pszPath, tool_SystemErrorText(GetLastError()));
    DeleteFileA(pszTemp);
    return 0;
}

// A built setup carries its package at 307200; anything else is taken for a
// bare package.
DWORD tool_FindPackageOffset(const char* pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    int bAtSetupOffset = SetFilePointer(hFile, PKG_OFFSET, NULL, FILE_BEGIN) == PKG_OFFSET &&
                         pkg_ReadHeader(hFile) == 0;
    CloseHandle(hFile);
    return bAtSetupOffset ? PKG_OFFSET : 0;
}

int tool_LocatePackage(const char* pszPath, int bOffsetGiven, DWORD* pdwOffset, char* pszDir,
                       char* pszName, size_t cbEach)
{
    if (!bOffsetGiven)
        *pdwOffset = tool_FindPackageOffset(pszPath);
    return tool_SplitPath(pszPath, pszDir, cbEach, pszName, cbEach);
}

int tool_Fail(const char* pszCommand, DWORD dwErr)
{
    fprintf(stderr, "setuptool %s: error %u: %s\n", pszCommand, (unsigned)dwErr,
            tool_ErrorText(dwErr));
    return TOOL_FAILED;
}
