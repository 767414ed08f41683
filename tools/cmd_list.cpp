// setuptool list <file> [--offset N]
// One line per record, name and data length, read with the same checks as
// the setup unpacker but without writing anything.
#include "setuptool.h"
#include "package.h"
#include "file_util.h"

#include <stdio.h>
#include <string.h>

static void PrintRecord(void*, const char* pszName, DWORD dwDataLen)
{
    printf("%s\t%u%s\n", pszName, (unsigned)dwDataLen,
           strcmp(pszName, g_szPkgEndName) == 0 ? "\t(end record)" : "");
}

int cmd_List(int argc, char** argv)
{
    DWORD dwOffset = 0;
    int bOffset = argc == 3 && strcmp(argv[1], "--offset") == 0;
    if ((argc != 1 && !bOffset) || (bOffset && !tool_ParseOffset(argv[2], &dwOffset)))
        return tool_Usage();
    char szDir[UTL_PATH_BUF], szName[UTL_PATH_BUF];
    if (!tool_LocatePackage(argv[0], bOffset, &dwOffset, szDir, szName, UTL_PATH_BUF))
        return tool_Usage();
    static const UnpackVariant kList = {0, 1, 0, PrintRecord, NULL};
    DWORD dwErr = 0;
    if (!pkg_Unpack(INVALID_HANDLE_VALUE, szDir, szName, ".", &dwErr, dwOffset, &kList))
        return tool_Fail("list", dwErr);
    return TOOL_OK;
}
