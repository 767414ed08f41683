// Logs a problem of the process enumeration under module "utlProc". Lines
// about the idle (0) and system (4) processes are detail lines.
#include "proc_check.h"
#include "log.h"

#include <stdio.h>

void procEnumRequest(const char* pszTag, DWORD dwProcId, DWORD dwErr1, DWORD dwErr2)
{
    char szLine[512];
    snprintf(szLine, sizeof szLine, "procEnumRequest from %s: Err1 = %u, Err2 = %u, ProcId = %u",
             pszTag, (unsigned)dwErr1, (unsigned)dwErr2, (unsigned)dwProcId);
    int bDetail = (dwProcId == 0 || dwProcId == 4);
    utl_WriteModuleLog("utlProc", szLine, bDetail);
}
