// The install needs 50 MB on drive C:. A volume whose free space cannot be
// read is given the benefit of the doubt.
#include "start_checks.h"
#include "log.h"

#include <stdio.h>

static const long long kBytesPerMB = 1048576;
static const long long kMinFreeMB = 50;

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
