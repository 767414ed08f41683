// Decides whether the uninstall password must be asked for. The installed
// client keeps its protection flag and stored password in one of two
// verified INI pairs in its reginfo directory (repaired from the legacy
// directory or from the backups in system32 when needed), or else in the
// registry. A verified pair decides alone. The password is asked for only
// when the flag is set and a client is registered with Windows.
#include "password_gate.h"
#include "client_registry.h"
#include "vrf.h"
#include "file_util.h"
#include "log.h"
#include "path_util.h"
#include "reg_ini.h"

#include <stdio.h>
#include <string.h>

namespace
{

enum Source { SOURCE_REGISTRY = 0, SOURCE_CUSTOM = 1, SOURCE_UNINSTALL = 2 };

// Failure messages gathered into one log line, without separators.
struct Errors {
    char sz[512];
};

void Append(Errors* pErrors, const char* pszText)
{
    size_t cch = strlen(pErrors->sz);
    snprintf(pErrors->sz + cch, sizeof pErrors->sz - cch, "%s", pszText);
}

void Flush(const ModuleLog* pLog, Errors* pErrors)
{
    if (pErrors->sz[0] != '\0')
        utl_ModuleLogF(pLog, "%s", pErrors->sz);
    pErrors->sz[0] = '\0';
}

// A pair of the reginfo directory and how its failures are told.
struct PairStore {
    const char* pszIni;
    const char* pszVrf;
    const char* pszFailed;      // first part of the failure line
    const char* pszFailedAgain; // after the backups were copied
    int (*pfnVerify)(const char* pszDir);
    Source eSource;
};

int VerifyCustom(const char* pszDir)
{
    return CusIniVerify(pszDir, 0);
}

const PairStore kCustomPair = {"KelvoCustom.ini",
                               "KelvoCustom.vrf",
                               "verifying KelvoCustom info FAILED with Err ",
                               "verifying KelvoCustom info FAILED again!",
                               VerifyCustom,
                               SOURCE_CUSTOM};
const PairStore kUninstallPair = {"KelvoUninstallInfo.ini",
                                  "KelvoUninstallInfo.vrf",
                                  "verifying uninstall info FAILED with Err ",
                                  "verifying Uninstall info FAILED again!",
                                  UninstallIniVerify,
                                  SOURCE_UNINSTALL};

// The backup in the Windows directory's system32 over the reginfo copy. The
// Windows directory is the system's answer, never "SystemRoot" from the
// environment, which the user who started the launcher may have set. Without
// it there is nothing to copy from: a failed copy.
int CopyBackup(const char* pszReginfo, const char* pszName, Errors* pErrors)
{
    char szRoot[UTL_PATH_BUF], szSrc[UTL_PATH_BUF], szDst[UTL_PATH_BUF];
    int bCopied =
        utl_GetWindowsDir(szRoot, sizeof szRoot) &&
        snprintf(szSrc, sizeof szSrc, "%s\\system32\\%s", szRoot, pszName) < (int)sizeof szSrc &&
        utl_JoinPath(szDst, sizeof szDst, pszReginfo, pszName) && CopyFileA(szSrc, szDst, FALSE);
    if (!bCopied) {
        char szMessage[64];
        snprintf(szMessage, sizeof szMessage, "CopyFile %s return false!", pszName);
        Append(pErrors, szMessage);
    }
    return bCopied;
}

// After a failed verification: the backups, then one more verification.
int RestoreFromBackup(const PairStore* pPair, const char* pszReginfo, Errors* pErrors)
{
    strcpy(pErrors->sz, pPair->pszFailed);
    Append(pErrors, " ,So copy bak files!");
    if (!CopyBackup(pszReginfo, pPair->pszIni, pErrors) ||
        !CopyBackup(pszReginfo, pPair->pszVrf, pErrors))
        return 0;
    if (pPair->pfnVerify(pszReginfo))
        return 1;
    Append(pErrors, pPair->pszFailedAgain);
    return 0;
}

Source ChooseSource(const ModuleLog* pLog, Errors* pErrors)
{
    char szReginfo[UTL_PATH_BUF];
    if (!GetReginfoDir(szReginfo, sizeof szReginfo)) {
        strcpy(pErrors->sz, " utl_GetCommonProgramFiles failed!");
        return SOURCE_REGISTRY;
    }
    Source eSource = SOURCE_REGISTRY;
    if (utl_LoadCusIniFile(pLog->pszModule) || RestoreFromBackup(&kCustomPair, szReginfo, pErrors))
        eSource = SOURCE_CUSTOM;
    Flush(pLog, pErrors);
    if (eSource == SOURCE_REGISTRY &&
        (UninstallIniVerify(szReginfo) || RestoreFromBackup(&kUninstallPair, szReginfo, pErrors)))
        eSource = SOURCE_UNINSTALL;
    return eSource;
}

DWORD ReadFromPair(const ModuleLog* pLog, const PairStore* pPair, char* pszStoredPwd)
{
    char szReginfo[UTL_PATH_BUF], szIni[UTL_PATH_BUF];
    GetReginfoDir(szReginfo, sizeof szReginfo);
    utl_JoinPath(szIni, sizeof szIni, szReginfo, pPair->pszIni);
    DWORD dwResult = (DWORD)GetPrivateProfileIntA("Functions", "Uninstall", 0, szIni);
    char szPwd[STORED_PWD_BUF] = "";
    if (utl_ReadIniString(szIni, "Functions", "Install", szPwd, sizeof szPwd) == 0)
        return dwResult;
    memcpy(pszStoredPwd, szPwd, STORED_PWD_MAX + 1);
    utl_ModuleLogF(pLog, "Get UninstallPwd from %s succ.", pPair->pszIni);
    return dwResult;
}

DWORD ReadFromRegistry(const ModuleLog* pLog, char* pszStoredPwd)
{
    DWORD dwResult = 0;
    const char* pszPwdKey = CLIENT_REG_KEY;
    if (utl_ReadRegDword(HKEY_LOCAL_MACHINE, CLIENT_REG_KEY, CLIENT_PROTECTED_VALUE, &dwResult)) {
        utl_ModuleLogF(pLog, "Get Uninstall from reg succ");
    } else {
        utl_ModuleLogF(pLog, "Get Uninstall from reg failed");
        if (utl_ReadRegDword(HKEY_LOCAL_MACHINE, CLIENT_OLD_REG_KEY, CLIENT_PROTECTED_VALUE,
                             &dwResult))
            pszPwdKey = CLIENT_OLD_REG_KEY;
        else
            utl_ModuleLogF(pLog, "Get Uninstall from old reg failed");
    }
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, pszPwdKey, CLIENT_PASSWORD_VALUE, pszStoredPwd,
                          STORED_PWD_MAX))
        utl_ModuleLogF(pLog, "Get UninstallPwd from reg Succ.");
    else
        utl_ModuleLogF(pLog, "Get UninstallPwd from reg fail,Return true.");
    return dwResult;
}

// Only the presence of a version counts; the text is logged, never compared.
int IsClientRegistered(const ModuleLog* pLog)
{
    char szVersion[MAX_PATH + 1];
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, CLIENT_UNINSTALL_KEY, "DisplayVersion", szVersion,
                          MAX_PATH)) {
        utl_ModuleLogF(pLog, "Get Version from reg succ. %s", szVersion);
        utl_ModuleLogF(pLog, "Need prompt uninstall password Dlg");
        return 1;
    }
    utl_ModuleLogF(pLog, "Get Version from new reg failed, try old.");
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, CLIENT_OLDER_UNINSTALL_KEY, "DisplayVersion",
                          szVersion, MAX_PATH)) {
        utl_ModuleLogF(pLog, "Get Version from old reg succ, return true.");
        return 1;
    }
    utl_ModuleLogF(pLog, "Get Version from old reg failed, return false.");
    return 0;
}

} // namespace

int IsUninstallPrompt(const char* pszModule, char* pszStoredPwd)
{
    const ModuleLog log = {pszModule, "IsUninstallPrompt:", 1};
    if (pszStoredPwd == NULL) {
        utl_ModuleLogF(&log, "parameter err.");
        return 0;
    }
    Errors errors = {""};
    Source eSource = ChooseSource(&log, &errors);
    Flush(&log, &errors);

    DWORD dwResult = 0;
    if (eSource == SOURCE_CUSTOM)
        dwResult = ReadFromPair(&log, &kCustomPair, pszStoredPwd);
    else if (eSource == SOURCE_UNINSTALL)
        dwResult = ReadFromPair(&log, &kUninstallPair, pszStoredPwd);
    else
        dwResult = ReadFromRegistry(&log, pszStoredPwd);

    if (dwResult == 0) {
        utl_ModuleLogF(&log, "!dwResult, return false.");
        return 0;
    }
    return IsClientRegistered(&log);
}
