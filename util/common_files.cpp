// The system's Common Files directory: the "CommonProgramFiles" variable
// when it is set, else "Program Files\Common Files" on the system drive.
// The answer is cached, since the process cannot move it.
#include "path_util.h"
#include "file_util.h"

#include <stdio.h>

static char g_szCommonFiles[UTL_PATH_BUF];

const char* utl_GetCommonProgramFiles()
{
    if (g_szCommonFiles[0] != '\0')
        return g_szCommonFiles;

    // A value too long for the cache is not read at all; it counts as unset.
    DWORD cch =
        GetEnvironmentVariableA("CommonProgramFiles", g_szCommonFiles, sizeof g_szCommonFiles);
    if (cch != 0 && cch < sizeof g_szCommonFiles)
        return g_szCommonFiles;
    g_szCommonFiles[0] = '\0';

    char szSystem[UTL_PATH_BUF];
    UINT cchSystem = GetSystemDirectoryA(szSystem, sizeof szSystem);
    if (cchSystem == 0 || cchSystem > MAX_PATH)
        return NULL;
    snprintf(g_szCommonFiles, sizeof g_szCommonFiles, "%c:\\Program Files\\Common Files",
             szSystem[0]);
    return g_szCommonFiles;
}
