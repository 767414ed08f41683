// setuptool unpack <file> <dir> [--offset N] [--lite] [--codepage N] [--quiet]
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

void ShowRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    Progress* pProgress = (Progress*)pContext;
    const char* pszShown = tool_ShownName(pRecord->pszName, pProgress->uCodePage);
    tool_Note("[%d] %s (%u bytes)\n", ++pProgress->nRecord, pszShown, (unsigned)pRecord->cbData);
    snprintf(pProgress->szRecord, sizeof pProgress->szRecord, "%s", pszShown);
    tool_ProgressAt(pRecord->ullEnd - pRecord->cbData, pProgress->nRecord - 1);
}

// Between chunks, and through the bytes a sealed package is read on for
// its digest.
int ShowBytes(void* pContext, uint64_t cbDone, uint64_t)
{
    tool_ProgressAt(cbDone, ((Progress*)pContext)->nRecord - 1);
    return 1;
}

// The package's length, for the progress line: the file behind the offset.
uint64_t PackageLength(const char* pszPath, uint32_t dwOffset)
{
    ToolFile* pFile = strcmp(pszPath, "-") == 0 ? NULL : tos_OpenRead(pszPath);
    uint64_t cbFile = 0;
    if (pFile != NULL && !tos_Size(pFile, &cbFile))
        cbFile = 0;
    tos_Close(&pFile);
    return cbFile > dwOffset ? cbFile - dwOffset : 0;
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
        if (tool_IsFlag(argv[i], "--lite")) {
            bLite = 1;
        } else if (tool_IsFlag(argv[i], "--offset")) {
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
    if (tool_EmptyName("unpack", 2, apszPath) != TOOL_OK)
        return TOOL_USAGE;
    if (!tool_LocatePackage("unpack", apszPath[0], bOffset, &dwOffset) ||
        !tool_MakeDirs("unpack", apszPath[1]))
        return TOOL_FAILED;
    // The tool's walk writes no log: the log folder is the launchers'.
    UnpackVariant variant = {0, !bLite, 1, ShowRecord, &progress, progress.uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    PkgWatch watch = {};
    watch.pfnChunk = ShowBytes;
    watch.pCtx = &progress;
    tool_ProgressBegin("unpack", PackageLength(apszPath[0], dwOffset), 0);
    int bDone = tos_Walk(apszPath[0], apszPath[1], &dwErr, &dwSysErr, dwOffset, &variant, &watch);
    tool_ProgressEnd();
    int nResult = TOOL_OK;
    if (!bDone)
        nResult = tool_FailWalk("unpack", apszPath[0], apszPath[1], progress.szRecord, dwErr,
                                dwSysErr, progress.uCodePage);
    else
        tool_Note("done: %d records\n", progress.nRecord);
    // What a damaged setup holds is extracted all the same, for whoever
    // looks into it; the exit code says it must not be trusted.
    return tool_FailSeal("unpack", apszPath[0], &watch.seal) ? TOOL_FAILED : nResult;
}
