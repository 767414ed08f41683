// setuptool unpack <file> <dir> [--offset N] [--lite] [--codepage N]
// Extracts a setup or a bare package without running it, with the setup
// unpacker or the lite one, naming each record on stderr as it goes.
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Progress {
    int nRecord;
    uint32_t uCodePage;
};

void ShowProgress(void* pContext, const PkgRecordInfo* pRecord)
{
    Progress* pProgress = (Progress*)pContext;
    fprintf(stderr, "[%d] %s (%u bytes)\n", ++pProgress->nRecord,
            tos_ShownName(pRecord->pszName, pProgress->uCodePage), (unsigned)pRecord->cbData);
}

} // namespace

int cmd_Unpack(int argc, char** argv)
{
    Progress progress = {0, 0};
    if (!tool_TakeCodePage(&argc, argv, &progress.uCodePage) || argc < 2)
        return tool_Usage();
    uint32_t dwOffset = 0;
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
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_LocatePackage(argv[0], bOffset, &dwOffset, szDir, szName, TOOL_PATH_BUF))
        return tool_Usage();
    tos_MakeDir(argv[1]); // the unpacker itself wants an existing directory
    UnpackVariant variant = {!bLite, !bLite, 1, ShowProgress, &progress, progress.uCodePage};
    uint32_t dwErr = 0;
    if (!tos_Walk(szDir, szName, argv[1], &dwErr, dwOffset, &variant)) {
        tool_NoteCodePage(dwErr, progress.uCodePage);
        return tool_FailPackage("unpack", dwErr);
    }
    fprintf(stderr, "done: %d records\n", progress.nRecord);
    return TOOL_OK;
}
