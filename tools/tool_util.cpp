// Small services shared by the tool's commands.
#include "setuptool.h"
#include "package.h"

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

int tool_ParseOffset(const char* pszText, DWORD* pdwOffset)
{
    char* pszEnd = NULL;
    unsigned long long ull = strtoull(pszText, &pszEnd, 0);
    if (*pszText == '\0' || *pszText == '-' || *pszEnd != '\0' || ull > 0xFFFFFFFFull)
        return 0;
    *pdwOffset = (DWORD)ull;
    return 1;
}

// A built setup carries its package at 307200; anything else is taken for a
// bare package.
DWORD tool_FindPackageOffset(const char* pszPath)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    BYTE marker[PKG_MARKER_LEN];
    int bAtSetupOffset = SetFilePointer(hFile, PKG_OFFSET, NULL, FILE_BEGIN) == PKG_OFFSET &&
                         ReadAndUnmix(hFile, marker, sizeof marker) &&
                         memcmp(marker, g_szPkgMarker, PKG_MARKER_LEN) == 0;
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
