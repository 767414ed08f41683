// Does the process token list the built-in Administrators group? The group's
// attributes are not looked at: a filtered administrator token, which holds
// the group for deny only, still counts. Elevation itself is the manifest's
// job.
#include "start_checks.h"
#include "log.h"

#include <stdio.h>

static TOKEN_GROUPS* ReadTokenGroups(HANDLE hToken)
{
    DWORD cbNeeded = 0;
    GetTokenInformation(hToken, TokenGroups, NULL, 0, &cbNeeded);
    TOKEN_GROUPS* pGroups = (TOKEN_GROUPS*)HeapAlloc(GetProcessHeap(), 0, cbNeeded ? cbNeeded : 1);
    if (pGroups == NULL) {
        WriteSetupLog("GetTokenInformation error with NULL!");
        return NULL;
    }
    if (!GetTokenInformation(hToken, TokenGroups, pGroups, cbNeeded, &cbNeeded)) {
        WriteSetupLog("GetTokenInformation error");
        HeapFree(GetProcessHeap(), 0, pGroups);
        return NULL;
    }
    return pGroups;
}

static int ListsSid(const TOKEN_GROUPS* pGroups, PSID pSid)
{
    for (DWORD i = 0; i < pGroups->GroupCount; ++i) {
        if (EqualSid(pGroups->Groups[i].Sid, pSid))
            return 1;
    }
    return 0;
}

int IsAdministrator()
{
    HANDLE hToken = NULL;
    TOKEN_GROUPS* pGroups = NULL;
    PSID pAdmins = NULL;
    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    int bAdmin = 0;

    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) {
        WriteSetupLog("Cannot open process token");
        goto out;
    }
    pGroups = ReadTokenGroups(hToken);
    if (pGroups == NULL)
        goto out;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &pAdmins)) {
        char szLine[96];
        snprintf(szLine, sizeof szLine, "Cannot create SID for Administrators with Err:%u.",
                 (unsigned)GetLastError());
        WriteSetupLog(szLine);
        goto out;
    }
    bAdmin = ListsSid(pGroups, pAdmins);

out:
    if (pAdmins != NULL)
        FreeSid(pAdmins);
    if (pGroups != NULL)
        HeapFree(GetProcessHeap(), 0, pGroups);
    if (hToken != NULL)
        CloseHandle(hToken);
    return bAdmin;
}
