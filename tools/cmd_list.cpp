// setuptool list <file> [--offset N] [--codepage N]
// One line per record, name and data length, read with the same checks as
// the setup unpacker but without writing anything.
#include "setuptool.h"
#include "tool_os.h"
#include "tool_seal.h"

#include <stdio.h>
#include <string.h>

static void PrintRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    printf("%s\t%u%s\n", tool_ShownName(pRecord->pszName, *(const uint32_t*)pContext),
           (unsigned)pRecord->cbData,
           strcmp(pRecord->pszName, g_szPkgEndName) == 0 ? "\t(end record)" : "");
}

int cmd_List(int argc, char** argv)
{
    uint32_t dwOffset = 0, uCodePage = 0;
    if (!tool_TakeCodePage("list", &argc, argv, &uCodePage))
        return TOOL_USAGE;
    int bOffset = 0, nFiles = 0;
    const char* pszFile = NULL;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--offset") == 0) {
            if (!tool_TakeOffset("list", argc, argv, &i, &dwOffset))
                return TOOL_USAGE;
            bOffset = 1;
        } else if (tool_IsOption(argv[i])) {
            return tool_WrongCommandLine("list", "there is no option %s", argv[i]);
        } else {
            pszFile = argv[i];
            ++nFiles;
        }
    }
    if (nFiles != 1)
        return tool_WrongCommandLine("list", "name one setup or package, not %d", nFiles);
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_LocatePackage("list", pszFile, bOffset, &dwOffset, szDir, szName))
        return TOOL_FAILED;
    const UnpackVariant kList = {0, 1, 0, PrintRecord, &uCodePage, uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    PkgWatch watch = {};
    int nResult = TOOL_OK;
    if (!tos_Walk(szDir, szName, ".", &dwErr, &dwSysErr, dwOffset, &kList, &watch))
        nResult = tool_FailWalk("list", pszFile, ".", NULL, dwErr, dwSysErr, uCodePage);
    return tool_FailSeal("list", pszFile, &watch.seal) ? TOOL_FAILED : nResult;
}
