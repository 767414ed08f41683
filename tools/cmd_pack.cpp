// setuptool pack <package> <file>... [--end]
// A new package: the header, one record per file in the order given, and with
// --end an end record last. Every source is checked first (a plain file name
// the unpacker accepts, once only, an existing file that opens), and the
// package is written under a temporary name beside its place and put there
// only when complete: a failed pack leaves an existing package as it was.
#include "setuptool.h"
#include "package.h"
#include "file_util.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace
{

struct PackSource {
    char szDir[UTL_PATH_BUF];
    char szName[UTL_PATH_BUF];
};

// The source exists, is a file, and opens for reading now.
int CheckSource(const char* pszPath)
{
    if (utl_DirExists(pszPath)) {
        fprintf(stderr, "setuptool pack: \"%s\" is a directory, not a file\n", pszPath);
        return 0;
    }
    if (!utl_FileExists(pszPath)) {
        fprintf(stderr, "setuptool pack: \"%s\": error %d: %s\n", pszPath, PKG_ERR_NO_SOURCE,
                pkg_ErrorText(PKG_ERR_NO_SOURCE));
        return 0;
    }
    HANDLE hFile = utl_OpenFileForRead(pszPath);
    if (hFile == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "setuptool pack: \"%s\" cannot be opened: %s\n", pszPath,
                tool_SystemErrorText(GetLastError()));
        return 0;
    }
    CloseHandle(hFile);
    return 1;
}

int CheckName(const char* pszPath, const char* pszName)
{
    if (strlen(pszName) > PKG_MAX_NAME || !pkg_IsSafeRecordName(pszName)) {
        fprintf(stderr,
                "setuptool pack: \"%s\": a record name must be a plain file name of at "
                "most %d bytes\n",
                pszPath, PKG_MAX_NAME);
        return 0;
    }
    return 1;
}

// The end record is the packing of an empty file of the end name.
int MakeEndRecordSource(PackSource* pSource)
{
    char szTemp[MAX_PATH];
    DWORD cch = GetTempPathA(sizeof szTemp, szTemp);
    if (cch == 0 || cch >= sizeof szTemp)
        return 0;
    snprintf(pSource->szDir, sizeof pSource->szDir, "%ssetuptool-end-%lu", szTemp,
             (unsigned long)GetCurrentProcessId());
    CreateDirectoryA(pSource->szDir, NULL);
    strcpy(pSource->szName, g_szPkgEndName);
    char szPath[UTL_PATH_BUF];
    if (!utl_JoinPath(szPath, sizeof szPath, pSource->szDir, pSource->szName))
        return 0;
    HANDLE hFile =
        CreateFileA(szPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(hFile);
    return 1;
}

void RemoveEndRecordSource(const PackSource* pSource)
{
    char szPath[UTL_PATH_BUF];
    if (utl_JoinPath(szPath, sizeof szPath, pSource->szDir, pSource->szName))
        DeleteFileA(szPath);
    RemoveDirectoryA(pSource->szDir);
}

int PackOne(const char* pszPkgDir, const char* pszPkgName, const PackSource* pSource, int bAdd,
            int nIndex, int nCount)
{
    fprintf(stderr, "[%d/%d] %s\n", nIndex, nCount, pSource->szName);
    DWORD dwErr = 0;
    if (!utl_FilePack(pSource->szDir, pSource->szName, pszPkgDir, pszPkgName, &dwErr, bAdd))
        return tool_Fail("pack", dwErr);
    return TOOL_OK;
}

// Checks every source before anything is written.
int CheckSources(char** argv, int nFiles, std::vector<PackSource>* pSources)
{
    for (int i = 0; i < nFiles; ++i) {
        PackSource* pSource = &(*pSources)[i];
        if (!tool_SplitPath(argv[i], pSource->szDir, sizeof pSource->szDir, pSource->szName,
                            sizeof pSource->szName) ||
            !CheckName(argv[i], pSource->szName) || !CheckSource(argv[i]))
            return 0;
        for (int j = 0; j < i; ++j) {
            if (_stricmp((*pSources)[j].szName, pSource->szName) == 0) {
                fprintf(stderr, "setuptool pack: \"%s\" is in the package twice\n",
                        pSource->szName);
                return 0;
            }
        }
    }
    return 1;
}

// Every record, then the end record, into the file pszDir\pszName.
int PackAll(const char* pszDir, const char* pszName, std::vector<PackSource>* pSources, int nFiles,
            int bEnd)
{
    int nCount = nFiles + bEnd;
    int nResult = TOOL_OK;
    for (int i = 0; i < nFiles && nResult == TOOL_OK; ++i)
        nResult = PackOne(pszDir, pszName, &(*pSources)[i], i > 0, i + 1, nCount);
    if (nResult == TOOL_OK && bEnd) {
        PackSource* pEnd = &(*pSources)[nFiles];
        if (!MakeEndRecordSource(pEnd)) {
            fprintf(stderr, "setuptool pack: cannot make the end record in the temp folder\n");
            nResult = TOOL_FAILED;
        } else {
            nResult = PackOne(pszDir, pszName, pEnd, nFiles > 0, nCount, nCount);
        }
        RemoveEndRecordSource(pEnd);
    }
    return nResult;
}

} // namespace

int cmd_Pack(int argc, char** argv)
{
    int bEnd = argc > 0 && strcmp(argv[argc - 1], "--end") == 0;
    int nFiles = argc - 1 - bEnd;
    if (argc < 1 || nFiles < 0 || (nFiles == 0 && !bEnd))
        return tool_Usage();

    char szTemp[UTL_PATH_BUF], szTempDir[UTL_PATH_BUF], szTempName[UTL_PATH_BUF];
    if (!tool_TempBeside(argv[0], szTemp, sizeof szTemp) ||
        !tool_SplitPath(szTemp, szTempDir, sizeof szTempDir, szTempName, sizeof szTempName))
        return tool_Usage();
    if (utl_DirExists(argv[0])) {
        fprintf(stderr, "setuptool pack: \"%s\" is a directory; name the package file\n", argv[0]);
        return TOOL_FAILED;
    }
    std::vector<PackSource> sources(nFiles + 1); // one more for the end record
    if (!CheckSources(argv + 1, nFiles, &sources))
        return TOOL_FAILED;

    int nResult = PackAll(szTempDir, szTempName, &sources, nFiles, bEnd);
    if (nResult != TOOL_OK) {
        DeleteFileA(szTemp);
        return nResult;
    }
    return tool_Replace("pack", szTemp, argv[0]) ? TOOL_OK : TOOL_FAILED;
}
