// Diagnostic logs in c:\KelvoLog: the setup log of the launcher flow and the
// per-module logs of the utility functions. One call writes one line.
#pragma once

#include <stdarg.h>

// Detail lines of the module log are written only while this is nonzero.
extern int g_bLogDetail;

void WriteSetupLog(const char* pszText);
void utl_WriteModuleLog(const char* pszModule, const char* pszText, int bDetail);
// A normal module-log line of the prefix and a printf-style text, cut at
// 1023 bytes.
void utl_WriteModuleLogV(const char* pszModule, const char* pszPrefix, const char* pszFormat,
                         va_list args);

// Shared mechanics of both writers; pszFileBase is "setup" or "stp_" plus the
// module name. The module log writes the thread id with a 0x prefix.
void utl_AppendLogLine(const char* pszFileBase, int bModuleLog, int bDetail, const char* pszText);
