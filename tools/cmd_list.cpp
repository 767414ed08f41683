// setuptool list <file> [--offset N] [--json] [--codepage N]
// One line per record, name and data length, read with the same checks as
// the setup unpacker but without writing anything; or, with --json, one JSON
// document of the same records (docs/setuptool.md has its schema). Records
// are printed as they are read, so the lines before a failure stand.
#include "setuptool.h"
#include "error_catalogue.h"
#include "tool_os.h"
#include "tool_seal.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Listing {
    uint32_t uCodePage;
    int bJson;
    int nRecords;
};

void PrintRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    Listing* pListing = (Listing*)pContext;
    int bEnd = strcmp(pRecord->pszName, g_szPkgEndName) == 0;
    if (!pListing->bJson) {
        printf("%s\t%u%s\n", tool_ShownName(pRecord->pszName, pListing->uCodePage),
               (unsigned)pRecord->cbData, bEnd ? "\t(end record)" : "");
    } else {
        printf("%s{\"name\": ", pListing->nRecords ? ", " : "");
        tool_JsonName(pRecord->pszName, pListing->uCodePage);
        printf(", \"bytes\": %u, \"end_record\": %s}", (unsigned)pRecord->cbData,
               bEnd ? "true" : "false");
    }
    ++pListing->nRecords;
}

// The document's end: the number the walk stopped at, or null.
void EndJson(uint32_t dwErr, const PkgSealCheck* pSeal)
{
    printf("], \"seal\": ");
    tool_JsonSeal(pSeal);
    printf(", \"error\": ");
    if (dwErr == 0) {
        printf("null}\n");
        return;
    }
    printf("{\"number\": %u, \"meaning\": ", (unsigned)dwErr);
    tool_JsonString(err_Meaning(dwErr));
    printf("}}\n");
}

} // namespace

int cmd_List(int argc, char** argv)
{
    uint32_t dwOffset = 0;
    Listing listing = {0, 0, 0};
    if (!tool_TakeCodePage("list", &argc, argv, &listing.uCodePage))
        return TOOL_USAGE;
    int bOffset = 0, nFiles = 0;
    const char* pszFile = NULL;
    for (int i = 0; i < argc; ++i) {
        if (tool_IsFlag(argv[i], "--offset")) {
            if (!tool_TakeOffset("list", argc, argv, &i, &dwOffset))
                return TOOL_USAGE;
            bOffset = 1;
        } else if (tool_IsFlag(argv[i], "--json")) {
            listing.bJson = 1;
        } else if (tool_IsOption(argv[i])) {
            return tool_WrongCommandLine("list", "there is no option %s", argv[i]);
        } else {
            pszFile = argv[i];
            ++nFiles;
        }
    }
    if (nFiles != 1)
        return tool_WrongCommandLine("list", "name one setup or package, not %d", nFiles);
    if (*pszFile == '\0')
        return tool_WrongCommandLine("list", "a file's name is empty");
    if (!tool_LocatePackage("list", pszFile, bOffset, &dwOffset))
        return TOOL_FAILED;
    if (listing.bJson) {
        printf("{\"schema\": \"kelvo-setuptool list 1\", \"file\": ");
        tool_JsonName(pszFile, 0);
        printf(", \"offset\": %u, \"records\": [", (unsigned)dwOffset);
    }
    const UnpackVariant kList = {0, 1, 0, PrintRecord, &listing, listing.uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    PkgWatch watch = {};
    int bListed = tos_Walk(pszFile, ".", &dwErr, &dwSysErr, dwOffset, &kList, &watch);
    if (listing.bJson)
        EndJson(bListed ? 0 : dwErr, &watch.seal);
    int nResult = TOOL_OK;
    if (!bListed)
        nResult = tool_FailWalk("list", pszFile, ".", NULL, dwErr, dwSysErr, listing.uCodePage);
    return tool_FailSeal("list", pszFile, &watch.seal) ? TOOL_FAILED : nResult;
}
