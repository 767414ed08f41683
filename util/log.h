// Diagnostic logs in c:\KelvoLog: the setup log of the launcher flow and the
// per-module logs of the utility functions. One call writes one line.
#pragma once

#include <stdio.h> // the printf flavour the format checks follow

// Detail lines of the module log are written only while this is nonzero.
extern int g_bLogDetail;

void WriteSetupLog(const char* pszText);
void utl_WriteModuleLog(const char* pszModule, const char* pszText, int bDetail);
// Where a function's lines go: its module log, each line starting with the
// prefix (the function's name); bOn 0 keeps the function quiet.
struct ModuleLog {
    const char* pszModule;
    const char* pszPrefix;
    int bOn;
};
// A normal module-log line of the prefix and a printf-style text, cut at
// 1023 bytes.
void utl_ModuleLogF(const ModuleLog* pLog, const char* pszFormat, ...)
    __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));

// Shared mechanics of both writers; pszFileBase is "setup" or "stp_" plus the
// module name. The module log writes the thread id with a 0x prefix.
void utl_AppendLogLine(const char* pszFileBase, int bModuleLog, int bDetail, const char* pszText);
