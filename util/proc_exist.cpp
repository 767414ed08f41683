// Is a process of this executable name running? The whole executable field of
// each process entry is compared, so a name cut short by the system (15
// characters on some systems) is found only by its cut form.
#include "proc_check.h"
#include "log.h"

#include <stdio.h>

static void LogCheckFailure(const char* pszTag, const char* pszWhat)
{
    char szLine[128];
    snprintf(szLine, sizeof szLine, "chkProcExist: %s%d", pszWhat, (int)GetLastError());
    utl_WriteModuleLog(pszTag, szLine, 0);
}

int chkProcExist(const char* pszTag, const char* pszExeName)
{
    // The ANSI entry: 296 bytes in a 32-bit program, 304 in a 64-bit one
    // (its process-id and module-id fields are pointer-sized there).
    static_assert(sizeof(PROCESSENTRY32) == (sizeof(void*) == 4 ? 296 : 304), "ANSI process entry");

    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE) {
        LogCheckFailure(pszTag, "createToolSnap failed with err: ");
        return PROC_CHECK_FAILED;
    }
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof pe;
    if (!Process32First(hSnap, &pe)) {
        LogCheckFailure(pszTag, "process32First failed with err: ");
        CloseHandle(hSnap);
        return PROC_CHECK_FAILED;
    }
    int nResult = PROC_NOT_FOUND;
    do {
        if (utl_AsciiEqualNoCase(pe.szExeFile, pszExeName)) {
            nResult = PROC_RUNNING;
            break;
        }
    } while (Process32Next(hSnap, &pe));
    CloseHandle(hSnap);
    return nResult;
}
