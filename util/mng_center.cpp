// The management-centre settings file beside the program. Nothing is cached:
// an administrator may drop the file in while the program runs.
#include "mng_center.h"
#include "file_util.h"
#include "log.h"
#include "path_util.h"

#include <stdio.h>

static int ReadMngCenterInt(const char* pszKey)
{
    char szDir[UTL_PATH_BUF];
    if (!getCurRunPath(szDir, MAX_PATH, 1))
        return 0;
    char szFile[UTL_PATH_BUF];
    int cch = snprintf(szFile, sizeof szFile, "%sKelvoMngCenter.ini", szDir);
    if (cch < 0 || (size_t)cch >= sizeof szFile || !utl_FileExists(szFile))
        return 0;
    return (int)GetPrivateProfileIntA("config", pszKey, 0, szFile);
}

void utl_LoadLogDetailSwitch()
{
    g_bLogDetail = ReadMngCenterInt("LogDetail");
}

int utl_GetLogDetail()
{
    return ReadMngCenterInt("LogDetail");
}

int utl_IsUpdateEnabled()
{
    return ReadMngCenterInt("bUpdEnabe");
}
