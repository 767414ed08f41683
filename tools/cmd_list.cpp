// setuptool list <file> [--offset N] [--codepage N]
// One line per record, name and data length, read with the same checks as
// the setup unpacker but without writing anything.
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

static void PrintRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    printf("%s\t%u%s\n", tos_ShownName(pRecord->pszName, *(const uint32_t*)pContext),
           (unsigned)pRecord->cbData,
           strcmp(pRecord->pszName, g_szPkgEndName) == 0 ? "\t(end record)" : "");
}

int cmd_List(int argc, char** argv)
{
    uint32_t dwOffset = 0, uCodePage = 0;
    if (!tool_TakeCodePage(&argc, argv, &uCodePage))
        return tool_Usage();
    int bOffset = argc == 3 && strcmp(argv[1], "--offset") == 0;
    if ((argc != 1 && !bOffset) || (bOffset && !tool_ParseOffset(argv[2], &dwOffset)))
        return tool_Usage();
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_LocatePackage(argv[0], bOffset, &dwOffset, szDir, szName, TOOL_PATH_BUF))
        return tool_Usage();
    const UnpackVariant kList = {0, 1, 0, PrintRecord, &uCodePage, uCodePage};
    uint32_t dwErr = 0;
    if (!tos_Walk(szDir, szName, ".", &dwErr, dwOffset, &kList)) {
        tool_NoteCodePage(dwErr, uCodePage);
        return tool_FailPackage("list", dwErr);
    }
    return TOOL_OK;
}
