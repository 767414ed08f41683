// Process checks by executable name over the system's process list, the
// snapshot owner they share, and the log line of a failed enumeration.
#include "proc_check.h"
#include "log.h"

#include <stdio.h>

// Only ASCII letters fold, so a double-byte name is compared byte for byte.
static char FoldAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c;
}

int utl_AsciiEqualNoCase(const char* pszA, const char* pszB)
{
    for (;; ++pszA, ++pszB) {
        if (FoldAscii(*pszA) != FoldAscii(*pszB))
            return 0;
        if (*pszA == '\0')
            return 1;
    }
}

ProcSnapshot::ProcSnapshot(DWORD dwFlags, DWORD dwProcId) : m_hSnap(INVALID_HANDLE_VALUE)
{
    if (dwFlags != 0)
        m_hSnap = CreateToolhelp32Snapshot(dwFlags, dwProcId);
}

ProcSnapshot::~ProcSnapshot()
{
    Close();
}

bool ProcSnapshot::Reset(DWORD dwFlags, DWORD dwProcId)
{
    Close();
    m_hSnap = CreateToolhelp32Snapshot(dwFlags, dwProcId);
    return IsValid();
}

// The idle process (id 0) has no executable of its own and is never a match.
bool ProcSnapshot::First(PROCESSENTRY32* pEntry)
{
    pEntry->dwSize = sizeof *pEntry;
    if (!IsValid() || !Process32First(m_hSnap, pEntry))
        return false;
    return pEntry->th32ProcessID != 0 || Next(pEntry);
}

bool ProcSnapshot::Next(PROCESSENTRY32* pEntry)
{
    while (IsValid() && Process32Next(m_hSnap, pEntry)) {
        if (pEntry->th32ProcessID != 0)
            return true;
    }
    return false;
}

// Safe any number of times.
void ProcSnapshot::Close()
{
    if (m_hSnap != INVALID_HANDLE_VALUE)
        CloseHandle(m_hSnap);
    m_hSnap = INVALID_HANDLE_VALUE;
}

// Logged under module "utlProc". Lines about the idle (0) and system (4)
// processes are detail lines.
void procEnumRequest(const char* pszTag, DWORD dwProcId, DWORD dwErr1, DWORD dwErr2)
{
    char szLine[512];
    snprintf(szLine, sizeof szLine, "procEnumRequest from %s: Err1 = %u, Err2 = %u, ProcId = %u",
             pszTag, (unsigned)dwErr1, (unsigned)dwErr2, (unsigned)dwProcId);
    int bDetail = (dwProcId == 0 || dwProcId == 4);
    utl_WriteModuleLog("utlProc", szLine, bDetail);
}

static void LogCheckFailure(const char* pszTag, const char* pszWhat)
{
    char szLine[128];
    snprintf(szLine, sizeof szLine, "chkProcExist: %s%d", pszWhat, (int)GetLastError());
    utl_WriteModuleLog(pszTag, szLine, 0);
}

// The whole executable field of each process entry is compared, so a name
// cut short by the system (15 characters on some systems) is found only by
// its cut form.
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

DWORD utl_FindProcessId(const char* pszExeName)
{
    ProcSnapshot snap(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe;
    if (!snap.First(&pe))
        return 0;
    do {
        if (utl_AsciiEqualNoCase(pe.szExeFile, pszExeName))
            return pe.th32ProcessID;
    } while (snap.Next(&pe));
    return 0;
}

// The last backslash that is a real separator, never the trail byte of a
// double-byte character.
static const char* BaseNameOf(const char* pszPath)
{
    const char* pszBase = pszPath;
    for (const char* p = pszPath; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            pszBase = p + 1;
    }
    return pszBase;
}

// The stricter check: compares only the file-name part of each entry's
// executable field, for systems that report full paths there.
int chkProcByBaseName(const char* pszTag, const char* pszExeName)
{
    ProcSnapshot snap(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe;
    if (!snap.First(&pe)) {
        procEnumRequest(pszTag, 0, 101, GetLastError());
        return PROC_CHECK_FAILED;
    }
    do {
        if (utl_AsciiEqualNoCase(BaseNameOf(pe.szExeFile), pszExeName))
            return PROC_RUNNING;
    } while (snap.Next(&pe));
    return PROC_NOT_FOUND;
}
