// The module logs of the utility functions: one file a day per module, named
// stp_<module><yyyymmdd><weekday>.log. Detail lines are dropped before any
// file work unless the detail switch is on.
#include "log.h"
#include "file_util.h"

#include <stdio.h>

int g_bLogDetail = 0;

void utl_WriteModuleLog(const char* pszModule, const char* pszText, int bDetail)
{
    if (bDetail && !g_bLogDetail)
        return;
    char szBase[UTL_PATH_BUF];
    int cch = snprintf(szBase, sizeof szBase, "stp_%s", pszModule);
    if (cch < 0 || (size_t)cch >= sizeof szBase)
        return;
    utl_AppendLogLine(szBase, 1, bDetail, pszText);
}

void utl_WriteModuleLogV(const char* pszModule, const char* pszPrefix, const char* pszFormat,
                         va_list args)
{
    char szLine[1024];
    int cchPrefix = snprintf(szLine, sizeof szLine, "%s", pszPrefix);
    if (cchPrefix >= 0 && (size_t)cchPrefix < sizeof szLine)
        vsnprintf(szLine + cchPrefix, sizeof szLine - cchPrefix, pszFormat, args);
    utl_WriteModuleLog(pszModule, szLine, 0);
}
