// setuptool unpack <file> <dir> [--offset N] [--lite] [--codepage N]
// Extracts a setup or a bare package without running it, with the setup
// unpacker or the lite one, naming each record on stderr as it goes.
#include "setuptool.h"
#include "tool_os.h"
#include "tool_seal.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Progress {
    int nRecord;
    uint32_t uCodePage;
    char szRecord[4 * PKG_MAX_NAME + 1]; // the one being written, for a failure's message
};

void ShowProgress(void* pContext, const PkgRecordInfo* pRecord)
{
    Progress* pProgress = (Progress*)pContext;
    const char* pszShown = tool_ShownName(pRecord->pszName, pProgress->uCodePage);
    fprintf(stderr, "[%d] %s (%u bytes)\n", ++pProgress->nRecord, pszShown,
            (unsigned)pRecord->cbData);
    snprintf(pProgress->szRecord, sizeof pProgress->szRecord, "%s", pszShown);
}

} // namespace

int cmd_Unpack(int argc, char** argv)
{
    Progress progress = {0, 0, ""};
    if (!tool_TakeCodePage("unpack", &argc, argv, &progress.uCodePage))
        return TOOL_USAGE;
    uint32_t dwOffset = 0;
    int bOffset = 0, bLite = 0, nPaths = 0;
    const char* apszPath[2] = {NULL, NULL};
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--lite") == 0) {
            bLite = 1;
        } else if (strcmp(argv[i], "--offset") == 0) {
            if (!tool_TakeOffset("unpack", argc, argv, &i, &dwOffset))
                return TOOL_USAGE;
            bOffset = 1;
        } else if (tool_IsOption(argv[i])) {
            return tool_WrongCommandLine("unpack", "there is no option %s", argv[i]);
        } else if (nPaths++ < 2) {
            apszPath[nPaths - 1] = argv[i];
        }
    }
    if (nPaths != 2)
        return tool_WrongCommandLine("unpack", "name the setup or package, then the folder to "
                                               "unpack into");
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_LocatePackage("unpack", apszPath[0], bOffset, &dwOffset, szDir, szName) ||
        !tool_MakeDirs("unpack", apszPath[1]))
        return TOOL_FAILED;
    UnpackVariant variant = {!bLite, !bLite, 1, ShowProgress, &progress, progress.uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    PkgWatch watch = {};
    int nResult = TOOL_OK;
    if (!tos_Walk(szDir, szName, apszPath[1], &dwErr, &dwSysErr, dwOffset, &variant, &watch))
        nResult = tool_FailWalk("unpack", apszPath[0], apszPath[1], progress.szRecord, dwErr,
                                dwSysErr, progress.uCodePage);
    else
        fprintf(stderr, "done: %d records\n", progress.nRecord);
    // What a damaged setup holds is extracted all the same, for whoever
    // looks into it; the exit code says it must not be trusted.
    return tool_FailSeal("unpack", apszPath[0], &watch.seal) ? TOOL_FAILED : nResult;
}
