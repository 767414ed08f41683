// Owner of one process snapshot handle; closing is safe any number of times.
#include "proc_check.h"

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

void ProcSnapshot::Close()
{
    if (m_hSnap != INVALID_HANDLE_VALUE)
        CloseHandle(m_hSnap);
    m_hSnap = INVALID_HANDLE_VALUE;
}
