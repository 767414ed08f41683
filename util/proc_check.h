// Process checks by executable name over the system's process list.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

enum {
    PROC_RUNNING = 0,
    PROC_NOT_FOUND = 1,
    PROC_CHECK_FAILED = 2,
};

int chkProcExist(const char* pszTag, const char* pszExeName);
int chkProcByBaseName(const char* pszTag, const char* pszExeName);
// The id of a running process of that name (compared as chkProcExist
// compares), 0 when none runs or the list cannot be read.
DWORD utl_FindProcessId(const char* pszExeName);
void procEnumRequest(const char* pszTag, DWORD dwProcId, DWORD dwErr1, DWORD dwErr2);

// Equal when the two names differ at most in the case of ASCII letters.
int utl_AsciiEqualNoCase(const char* pszA, const char* pszB);

// Owns one Toolhelp snapshot handle; entries of process id 0 are passed over.
class ProcSnapshot
{
  public:
    ProcSnapshot(DWORD dwFlags, DWORD dwProcId);
    ~ProcSnapshot();
    ProcSnapshot(const ProcSnapshot&) = delete;
    ProcSnapshot& operator=(const ProcSnapshot&) = delete;

    bool Reset(DWORD dwFlags, DWORD dwProcId);
    bool First(PROCESSENTRY32* pEntry);
    bool Next(PROCESSENTRY32* pEntry);
    void Close();
    bool IsValid() const
    {
        return m_hSnap != INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE m_hSnap;
};
