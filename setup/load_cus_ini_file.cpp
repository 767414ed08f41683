// Makes sure the reginfo directory exists and holds a verified customisation
// pair. A client of the older layout keeps its pairs in the legacy directory:
// when only that one verifies, all four files move over and the legacy tree
// goes.
#include "password_gate.h"
#include "vrf.h"
#include "file_util.h"
#include "log.h"
#include "path_util.h"

#include "win_functions.h"

#include <stdio.h>
#include <string.h>

namespace
{

const char* const kPairFiles[] = {"KelvoCustom.ini", "KelvoCustom.vrf", "KelvoUninstallInfo.ini",
                                  "KelvoUninstallInfo.vrf"};

// The debugging-help library is not always loaded by Windows itself, so it
// comes from the system directory by full path, never from beside the
// launcher.
DECL_WINDOWS_FUNCTION(static, BOOL, MakeSureDirectoryPathExists, (PCSTR));

BOOL MakeDirectoryPath(const char* pszDirWithSlash)
{
    HMODULE hDbgHelp = utl_LoadSystemLibrary("dbghelp.dll");
    if (hDbgHelp == NULL)
        return FALSE;
    // dbghelp.h is not among the headers the launchers build with.
    GET_WINDOWS_FUNCTION_NO_TYPECHECK(hDbgHelp, MakeSureDirectoryPathExists);
    BOOL bMade =
        p_MakeSureDirectoryPathExists != NULL && p_MakeSureDirectoryPathExists(pszDirWithSlash);
    DWORD dwErr = GetLastError();
    FreeLibrary(hDbgHelp);
    SetLastError(dwErr);
    return bMade;
}

int EnsureDirectory(const ModuleLog* pLog, const char* pszDir)
{
    if (utl_DirExists(pszDir))
        return 1;
    char szWithSlash[UTL_PATH_BUF];
    snprintf(szWithSlash, sizeof szWithSlash, "%s\\", pszDir);
    if (MakeDirectoryPath(szWithSlash))
        return 1;
    utl_ModuleLogF(pLog, "Create directory \"reginfo\" failed with ErrNo: %u.",
                   (unsigned)GetLastError());
    return 0;
}

// Files copied before a failure stay where they are.
int CopyPairs(const ModuleLog* pLog, const char* pszFrom, const char* pszTo)
{
    for (const char* pszName : kPairFiles) {
        char szSrc[UTL_PATH_BUF], szDst[UTL_PATH_BUF];
        if (!utl_JoinPath(szSrc, sizeof szSrc, pszFrom, pszName) ||
            !utl_JoinPath(szDst, sizeof szDst, pszTo, pszName) || !CopyFileA(szSrc, szDst, FALSE)) {
            utl_ModuleLogF(pLog, "CopyFile %s return false!", pszName);
            return 0;
        }
    }
    return 1;
}

} // namespace

int utl_LoadCusIniFile(const char* pszModule)
{
    const ModuleLog log = {pszModule, "utl_LoadCusIniFile:", 1};
    char szReginfo[UTL_PATH_BUF], szLegacy[UTL_PATH_BUF], szLegacyTop[UTL_PATH_BUF];
    if (!GetReginfoDir(szReginfo, sizeof szReginfo)) {
        utl_ModuleLogF(&log, " utl_GetCommonProgramFiles failed!");
        return 0;
    }
    if (!EnsureDirectory(&log, szReginfo))
        return 0;
    if (CusIniVerify(szReginfo, 0))
        return 1;

    utl_ModuleLogF(&log, "CusIniVerify new failed,try for old.");
    if (!GetLegacyReginfoDir(szLegacy, sizeof szLegacy) || !CusIniVerify(szLegacy, 0)) {
        utl_ModuleLogF(&log, "CusIniVerify old failed,return false.");
        return 0;
    }
    utl_ModuleLogF(&log, "CusIniVerify old true,so copy files.");
    if (!CopyPairs(&log, szLegacy, szReginfo))
        return 0;
    if (GetLegacyTopDir(szLegacyTop, sizeof szLegacyTop))
        utl_RemoveDirTree(szLegacyTop);
    return 1;
}
