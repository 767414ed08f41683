// The run's first line: which launcher of which version, who started it in
// which session, elevated or not, with or without a desktop a user can see,
// and the command line as given. Support staff read a mailed-in log without
// the PC, and a deployment agent's arguments that the launcher does not act
// on are said to be unused rather than quietly ignored.
#include "start_checks.h"
#include "log.h"
#include "run_log_lines.h"

#include <stdio.h>
#include <string.h>

namespace
{

// DOMAIN\name of the token's user, or "(unknown)".
void GetUserText(char* pszOut, size_t cbOut)
{
    snprintf(pszOut, cbOut, "(unknown)");
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return;
    BYTE buf[256];
    DWORD cb = 0;
    char szName[128], szDomain[128];
    DWORD cchName = sizeof szName, cchDomain = sizeof szDomain;
    SID_NAME_USE eUse;
    if (GetTokenInformation(hToken, TokenUser, buf, sizeof buf, &cb) &&
        LookupAccountSidA(NULL, ((TOKEN_USER*)buf)->User.Sid, szName, &cchName, szDomain,
                          &cchDomain, &eUse))
        snprintf(pszOut, cbOut, "%s%s%s", szDomain, szDomain[0] ? "\\" : "", szName);
    CloseHandle(hToken);
}

const char* ElevationText()
{
    HANDLE hToken = NULL;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return RUN_LOG_HEADER_ELEVATION_UNKNOWN;
    TOKEN_ELEVATION elevation;
    DWORD cb = 0;
    BOOL bKnown =
        GetTokenInformation(hToken, TokenElevation, &elevation, sizeof elevation, &cb); // Vista on
    CloseHandle(hToken);
    if (!bKnown)
        return RUN_LOG_HEADER_ELEVATION_UNKNOWN;
    return elevation.TokenIsElevated ? RUN_LOG_HEADER_ELEVATED : RUN_LOG_HEADER_NOT_ELEVATED;
}

// What follows the program's own name on the command line, as the C
// runtime splits it: a quoted name ends at its closing quote, a bare one at
// the first blank.
const char* ArgumentsOf(const char* pszCommandLine)
{
    const char* p = pszCommandLine;
    if (*p == '"') {
        const char* pszQuote = strchr(p + 1, '"');
        p = pszQuote != NULL ? pszQuote + 1 : p + strlen(p);
    } else {
        while (*p != '\0' && *p != ' ' && *p != '\t')
            ++p;
    }
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

} // namespace

void LogRunHeader(LauncherKind eKind)
{
    const char* pszCommandLine = GetCommandLineA();
    const char* pszArgs = ArgumentsOf(pszCommandLine);
    char szUser[300];
    GetUserText(szUser, sizeof szUser);
    DWORD dwSession = 0;
    char szSession[16] = "?";
    if (ProcessIdToSessionId(GetCurrentProcessId(), &dwSession))
        snprintf(szSession, sizeof szSession, "%lu", (unsigned long)dwSession);

    size_t cbLine = 2 * strlen(pszCommandLine) + sizeof szUser + 256;
    char* pszLine = (char*)HeapAlloc(GetProcessHeap(), 0, cbLine);
    if (pszLine == NULL) {
        WriteSetupLog(eKind == LAUNCHER_LITE ? RUN_LOG_LITE_NAME RUN_LOG_STARTS
                                             : RUN_LOG_SETUP_NAME RUN_LOG_STARTS);
        return;
    }
#define SEP RUN_LOG_HEADER_SEPARATOR
    snprintf(pszLine, cbLine,
             "%s" RUN_LOG_STARTS RUN_LOG_HEADER_VERSION "%s" SEP RUN_LOG_HEADER_USER
             "%s" SEP RUN_LOG_HEADER_SESSION "%s" SEP "%s" SEP "%s" SEP RUN_LOG_HEADER_COMMAND_LINE
             "%s%s%s",
             eKind == LAUNCHER_LITE ? RUN_LOG_LITE_NAME : RUN_LOG_SETUP_NAME, KELVO_VERSION, szUser,
             szSession, ElevationText(),
             HasInteractiveDesktop() ? RUN_LOG_HEADER_DESKTOP : RUN_LOG_HEADER_NO_DESKTOP,
             pszCommandLine, *pszArgs ? SEP RUN_LOG_HEADER_ARGUMENTS : "", pszArgs);
#undef SEP
    WriteSetupLog(pszLine);
    HeapFree(GetProcessHeap(), 0, pszLine);
}
