// setuptool pack <package> <file>... [--end]
// A new package: the header, one record per file in the order given, and with
// --end an end record last. Names the unpacker would refuse are refused here,
// before anything is written.
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

} // namespace

int cmd_Pack(int argc, char** argv)
{
    int bEnd = argc > 0 && strcmp(argv[argc - 1], "--end") == 0;
    int nFiles = argc - 1 - bEnd;
    if (argc < 1 || nFiles < 0 || (nFiles == 0 && !bEnd))
        return tool_Usage();

    char szPkgDir[UTL_PATH_BUF], szPkgName[UTL_PATH_BUF];
    if (!tool_SplitPath(argv[0], szPkgDir, sizeof szPkgDir, szPkgName, sizeof szPkgName))
        return tool_Usage();
    std::vector<PackSource> sources(nFiles + 1); // one more for the end record
    for (int i = 0; i < nFiles; ++i) {
        PackSource* pSource = &sources[i];
        if (!tool_SplitPath(argv[1 + i], pSource->szDir, sizeof pSource->szDir, pSource->szName,
                            sizeof pSource->szName) ||
            !CheckName(argv[1 + i], pSource->szName))
            return TOOL_FAILED;
        for (int j = 0; j < i; ++j) {
            if (_stricmp(sources[j].szName, pSource->szName) == 0) {
                fprintf(stderr, "setuptool pack: \"%s\" is in the package twice\n",
                        pSource->szName);
                return TOOL_FAILED;
            }
        }
    }

    int nCount = nFiles + bEnd;
    int nResult = TOOL_OK;
    for (int i = 0; i < nFiles && nResult == TOOL_OK; ++i)
        nResult = PackOne(szPkgDir, szPkgName, &sources[i], i > 0, i + 1, nCount);
    if (nResult == TOOL_OK && bEnd) {
        PackSource* pEnd = &sources[nFiles];
        if (!MakeEndRecordSource(pEnd)) {
            fprintf(stderr, "setuptool pack: cannot make the end record in the temp folder\n");
            nResult = TOOL_FAILED;
        } else {
            nResult = PackOne(szPkgDir, szPkgName, pEnd, nFiles > 0, nCount, nCount);
        }
        RemoveEndRecordSource(pEnd);
    }
    return nResult;
}
