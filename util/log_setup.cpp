// The setup log: the main steps of the launcher flow, one file a day named
// setup<yyyymmdd><weekday>.log.
#include "log.h"

void WriteSetupLog(const char* pszText)
{
    utl_AppendLogLine("setup", 0, 0, pszText);
}
