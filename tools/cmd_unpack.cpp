// setuptool unpack <file> <dir> [--offset N] [--lite]
// Extracts a setup or a bare package without running it, with the setup
// unpacker or the lite one, naming each record on stderr as it goes.
#include "setuptool.h"
#include "package.h"
#include "file_util.h"

#include <stdio.h>
#include <string.h>

static void ShowProgress(void* pContext, const char* pszName, DWORD dwDataLen)
{
    int* pnRecord = (int*)pContext;
    fprintf(stderr, "[%d] %s (%u bytes)\n", ++*pnRecord, pszName, (unsigned)dwDataLen);
}

int cmd_Unpack(int argc, char** argv)
{
    if (argc < 2)
        return tool_Usage();
    DWORD dwOffset = 0;
    int bOffset = 0, bLite = 0;
    for (int i = 2; i < argc; ++i) {
        if (strcmp(argv[i], "--lite") == 0)
            bLite = 1;
        else if (strcmp(argv[i], "--offset") == 0 && i + 1 < argc &&
                 tool_ParseOffset(argv[i + 1], &dwOffset))
            bOffset = 1, ++i;
        else
            return tool_Usage();
    }
    char szDir[UTL_PATH_BUF], szName[UTL_PATH_BUF];
    if (!tool_LocatePackage(argv[0], bOffset, &dwOffset, szDir, szName, UTL_PATH_BUF))
        return tool_Usage();
    CreateDirectoryA(argv[1], NULL); // the unpacker itself wants an existing directory
    int nRecord = 0;
    UnpackVariant variant = {!bLite, !bLite, 1, ShowProgress, &nRecord};
    DWORD dwErr = 0;
    if (!pkg_Unpack(INVALID_HANDLE_VALUE, szDir, szName, argv[1], &dwErr, dwOffset, &variant))
        return tool_Fail("unpack", dwErr);
    fprintf(stderr, "done: %d records\n", nRecord);
    return TOOL_OK;
}
