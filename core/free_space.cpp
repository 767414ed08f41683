// The install needs 50 MB on drive C:. A volume whose free space cannot be
// read is given the benefit of the doubt.
#include "start_checks.h"
#include "log.h"
#include "win_functions.h"

#include <stdio.h>

static const long long kBytesPerMB = 1048576;
static const long long kMinFreeMB = 50;

DECL_WINDOWS_FUNCTION(static, BOOL, GetDiskFreeSpaceExA,
                      (LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER));

// Multiplied in 64 bits: a volume with 4 GiB or more free must not wrap to a
// small number and be refused.
long long LegacyFreeBytes(DWORD dwSectorsPerCluster, DWORD dwBytesPerSector, DWORD dwFreeClusters)
{
    return (long long)((unsigned long long)dwSectorsPerCluster * dwBytesPerSector * dwFreeClusters);
}

// Free bytes of a volume available to this user, or -1 when they cannot be
// read. Very old systems lack GetDiskFreeSpaceExA, so it is looked up.
long long GetDiskFreeBytes(const char* pszRoot)
{
    if (GET_WINDOWS_FUNCTION(GetModuleHandleA("kernel32.dll"), GetDiskFreeSpaceExA) != NULL) {
        ULARGE_INTEGER avail, total, totalFree;
        if (!p_GetDiskFreeSpaceExA(pszRoot, &avail, &total, &totalFree))
            return -1;
        return (long long)avail.QuadPart;
    }
    DWORD dwSpc, dwBps, dwFree, dwTotal;
    if (!GetDiskFreeSpaceA(pszRoot, &dwSpc, &dwBps, &dwFree, &dwTotal))
        return -1;
    return LegacyFreeBytes(dwSpc, dwBps, dwFree);
}

int FreeSpaceIsEnough(long long llFreeBytes)
{
    return llFreeBytes == -1 || llFreeBytes / kBytesPerMB >= kMinFreeMB;
}

int CheckFreeSpace()
{
    long long llFree = GetDiskFreeBytes("C:");
    char szLine[64];
    snprintf(szLine, sizeof szLine, "The C free space is %dM.", (int)(llFree / kBytesPerMB));
    WriteSetupLog(szLine);
    return FreeSpaceIsEnough(llFree);
}
