// Links a standard user made are not followed by this process where Windows
// can refuse them (its redirection trust policy, Windows 10 and 11 with the
// updates that added it): the removals and the files the launcher opens in
// places any user may write to then never lead elsewhere through such a link,
// whatever the code's own checks miss. Where the policy is not offered, the
// launcher relies on those checks alone; the run's first lines say which.
#include "start_checks.h"
#include "log.h"
#include "win_functions.h"

#include <stdio.h>

namespace
{

// The policy's number in PROCESS_MITIGATION_POLICY, and its flag; neither
// is in the headers the launchers build with.
const int kProcessRedirectionTrustPolicy = 16;
const DWORD kEnforceRedirectionTrust = 1;

DECL_WINDOWS_FUNCTION(static, BOOL, SetProcessMitigationPolicy, (int, PVOID, SIZE_T));

char s_szRedirectionTrust[128] = "redirection trust: not asked for.";

} // namespace

void TrustNoUserRedirection()
{
    DWORD dwPolicy = kEnforceRedirectionTrust;
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(GetModuleHandleA("kernel32.dll"),
                                          SetProcessMitigationPolicy) == NULL) {
        snprintf(s_szRedirectionTrust, sizeof s_szRedirectionTrust,
                 "redirection trust: not offered by this Windows.");
    } else if (p_SetProcessMitigationPolicy(kProcessRedirectionTrustPolicy, &dwPolicy,
                                            sizeof dwPolicy)) {
        snprintf(s_szRedirectionTrust, sizeof s_szRedirectionTrust,
                 "redirection trust: enforced, links made by non-administrators are not followed.");
    } else {
        snprintf(s_szRedirectionTrust, sizeof s_szRedirectionTrust,
                 "redirection trust: not offered by this Windows, err %lu.",
                 (unsigned long)GetLastError());
    }
}

void LogRedirectionTrust()
{
    WriteSetupLog(s_szRedirectionTrust);
}
