// setuptool pack <package> <file>... [--end] [--codepage N] [--quiet]
// A new package: the header, one record per file in the order given, and with
// --end an end record last. Every source is checked first (a plain file name
// the unpacker accepts, in the package's code page, once only, an existing
// file that opens, not the package itself, below 4 GiB and leaving the whole
// package below 4 GiB), and the package is written as a new file that takes
// its place only when complete: a failed pack leaves an existing package as
// it was, and no new one. Each file is measured through the handle it is read
// from and copied to exactly that size.
#include "setuptool.h"
#include "record_writer.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace
{

// What to do about a name the unpackers would refuse.
const char kRename[] = "Rename the file (docs/setuptool.md has the rules for record names).";

// A failure told, for the steps that answer whether they could.
int Refuse(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
           uint32_t dwSysErr)
{
    tool_Fail(pszCommand, pszFile, pszWhat, dwErr, dwSysErr);
    return 0;
}

// A name the unpackers would refuse, with what to do about it.
int RefuseName(const char* pszFile, const char* pszWhat, uint32_t dwErr)
{
    tool_FailToDo("pack", pszFile, pszWhat, dwErr, 0, kRename);
    return 0;
}

struct PackSource {
    const char* pszArg; // the path as given: one of main's own argv strings
    // Room for any file name (255 UTF-16 units take up to 510 bytes in a
    // double-byte code page), so a long name is refused as long.
    char szName[2 * 255 + 1];
    uint64_t cbSize; // as measured when checked
};

// What a package may hold: its offsets and lengths are 32 bits.
const uint64_t kPackageLimit = 0x100000000ull;

int OpenSource(const PackSource* pSource, ToolFile** ppFile)
{
    const char* pszPath = pSource->pszArg;
    switch (tos_OpenSource(pSource->pszArg, ppFile)) {
    case TOS_SOURCE_OPEN:
        return 1;
    case TOS_SOURCE_DIR:
        return Refuse("pack", pszPath, "is a folder, not a file", PKG_ERR_NO_SOURCE, 0);
    case TOS_SOURCE_MISSING:
        return Refuse("pack", pszPath, NULL, PKG_ERR_NO_SOURCE, tos_LastError());
    default:
        return Refuse("pack", pszPath, "cannot be opened", PKG_ERR_OPEN, tos_LastError());
    }
}

// Why the unpackers would refuse a name, as the release engineer reads it.
const char* NameFaultText(PkgNameFault eFault)
{
    switch (eFault) {
    case PKG_NAME_DOT_OR_SPACE:
        return "ends in a dot or a blank, which Windows drops from file names";
    case PKG_NAME_DEVICE:
        return "is a device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$), with or "
               "without an extension";
    case PKG_NAME_CHARACTER:
        return "holds a control character or one of / : * ? \" < > |";
    case PKG_NAME_NOT_TEXT:
        return "holds bytes its code page does not read as a name";
    default:
        return "is empty";
    }
}

// The name is not one the package's code page can hold.
int FailCodePage(const char* pszPath, uint32_t uCodePage)
{
    char szWhat[160];
    if (uCodePage == 0 && !g_bPkgSystemCodePage)
        snprintf(szWhat, sizeof szWhat,
                 "is not an ASCII name: say with --codepage 1252 or --codepage 936 which code "
                 "page the setup is for");
    else if (uCodePage == 0)
        snprintf(szWhat, sizeof szWhat,
                 "has a name this system's code page has no place for: --codepage 1252 or "
                 "--codepage 936 names another");
    else
        snprintf(szWhat, sizeof szWhat, "has a name code page %u has no place for",
                 (unsigned)uCodePage);
    tool_FailToDo("pack", pszPath, szWhat, PKG_ERR_OPEN_DEST, 0,
                  uCodePage == 0 ? "" : "Rename the file, or pack for the code page that has it.");
    return 0;
}

// The record name: the file's own name in the package's code page, one the
// unpacker takes as a plain file of its destination. Each rule it breaks is
// told as such, with the number the unpackers would stop at.
int NameSource(PackSource* pSource, uint32_t uCodePage, const PkgCodePage* pCodePage)
{
    const char* pszPath = pSource->pszArg;
    if (!tos_RecordName(pSource->pszArg, uCodePage, pSource->szName, sizeof pSource->szName))
        return FailCodePage(pszPath, uCodePage);
    char szWhat[200];
    size_t cbName = strlen(pSource->szName);
    PkgNameFault eFault = pkg_NameFault(pSource->szName, pCodePage);
    if (cbName > PKG_MAX_NAME) {
        snprintf(szWhat, sizeof szWhat, "has a name of %u bytes; a record name holds %d at most",
                 (unsigned)cbName, PKG_MAX_NAME);
        return RefuseName(pszPath, szWhat, PKG_ERR_NAME_LENGTH);
    }
    // What unpack leaves of an end record, taken in by a glob over its folder:
    // packed as a file, it would end the package for the setup unpacker.
    if (strcmp(pSource->szName, g_szPkgEndName) == 0) {
        tool_FailToDo("pack", pszPath,
                      "is named like the end record, which ends the package for the setup "
                      "unpacker: it is the empty file unpack leaves",
                      PKG_ERR_OPEN_DEST, 0, "Leave it out, and end the package with --end.");
        return 0;
    }
    if (strchr(pSource->szName, '\\') != NULL)
        return RefuseName(pszPath, "has a backslash in its name, which would address a subfolder",
                          PKG_ERR_OPEN_DEST);
    if (eFault != PKG_NAME_OK) {
        snprintf(szWhat, sizeof szWhat, "has a name that %s", NameFaultText(eFault));
        return RefuseName(pszPath, szWhat, PKG_ERR_OPEN_DEST);
    }
    return 1;
}

// What a pack is: its sources, checked and measured, and the package's size.
struct PackJob {
    std::vector<PackSource> sources;
    int nFiles;
    int bEnd;
    uint32_t uCodePage;
    const char* pszPackage;
    uint64_t cbPackage;
};

// A source too large for a record, or one that takes the package to 4 GiB:
// refused before anything is written, with the sizes.
int CheckSize(PackJob* pJob, const PackSource* pSource)
{
    char szWhat[300];
    if (pSource->cbSize >= kPackageLimit) {
        snprintf(szWhat, sizeof szWhat,
                 "is %llu bytes: a packed file must be smaller than 4 GiB (%llu bytes)",
                 (unsigned long long)pSource->cbSize, (unsigned long long)kPackageLimit);
        tool_FailToDo("pack", pSource->pszArg, szWhat, PKG_ERR_SIZE, 0,
                      "Leave it out: a setup and every file in it stay below 4 GiB.");
        return 0;
    }
    pJob->cbPackage += PKG_RECORD_HEAD + strlen(pSource->szName) + pSource->cbSize;
    if (pJob->cbPackage < kPackageLimit)
        return 1;
    snprintf(szWhat, sizeof szWhat,
             "would be %llu bytes or more with \"%s\" (%llu bytes): a package must be smaller "
             "than 4 GiB (%llu bytes)",
             (unsigned long long)pJob->cbPackage, pSource->pszArg,
             (unsigned long long)pSource->cbSize, (unsigned long long)kPackageLimit);
    tool_FailToDo("pack", tool_OutputName(pJob->pszPackage), szWhat, PKG_ERR_SIZE, 0,
                  "Pack fewer or smaller files: a package, and a setup built from it with 307200 "
                  "bytes more, stay below 4 GiB.");
    return 0;
}

// A name already in the package, ASCII case aside.
int CheckUnique(const PackJob* pJob, int i)
{
    const PackSource* pSource = &pJob->sources[i];
    for (int j = 0; j < i; ++j) {
        if (pkg_SameName(pJob->sources[j].szName, pSource->szName)) {
            char szWhat[PKG_MAX_NAME * 4 + 64];
            snprintf(szWhat, sizeof szWhat,
                     "has the name of \"%s\" before it (Windows takes A and a for one)",
                     pJob->sources[j].pszArg);
            return RefuseName(pSource->pszArg, szWhat, PKG_ERR_OPEN_DEST);
        }
    }
    return 1;
}

// Checks every source before anything is written, and measures the package.
int CheckSources(char** argv, PackJob* pJob, ToolOutput* pOut)
{
    const PkgCodePage* pCodePage = pkg_CodePage(pJob->uCodePage);
    pJob->cbPackage = PKG_MARKER_LEN + (pJob->bEnd ? PKG_RECORD_HEAD + strlen(g_szPkgEndName) : 0);
    for (int i = 0; i < pJob->nFiles; ++i) {
        PackSource* pSource = &pJob->sources[i];
        pSource->pszArg = argv[i];
        ToolFile* pFile = NULL;
        if (!NameSource(pSource, pJob->uCodePage, pCodePage) || !OpenSource(pSource, &pFile))
            return 0;
        int bSized = tos_Size(pFile, &pSource->cbSize);
        uint32_t dwSysErr = tos_LastError();
        int bOwn = tool_IsOwnOutput("pack", pOut, pFile, pSource->pszArg, "package");
        tos_Close(&pFile);
        if (bOwn)
            return 0;
        if (!bSized)
            return Refuse("pack", pSource->pszArg, "cannot be measured", PKG_ERR_SIZE, dwSysErr);
        if (!CheckUnique(pJob, i) || !CheckSize(pJob, pSource))
            return 0;
    }
    return 1;
}

// Writes the package, counting its bytes for the progress line.
struct PackWriter {
    ToolFile* pFile;
    uint64_t cbDone;
    int nDone;
};

uint32_t WriteCounted(void* pCtx, const void* pBuf, uint32_t cb)
{
    PackWriter* pWriter = (PackWriter*)pCtx;
    uint32_t dwErr = tos_Write(pWriter->pFile, pBuf, cb);
    pWriter->cbDone += cb;
    tool_ProgressAt(pWriter->cbDone, pWriter->nDone);
    return dwErr;
}

// A failure of the record writer, after which the new file is discarded:
// its number, or a read's system code; a failed write concerns the package.
int FailRecord(ToolOutput** ppOut, const PackJob* pJob, const char* pszPath, uint32_t dwErr)
{
    if (dwErr == PKG_ERR_WRITE)
        return tool_FailOutput("pack", pJob->pszPackage, ppOut, tos_LastError());
    tos_DiscardOutput(ppOut);
    if (dwErr == PKG_ERR_SIZE)
        return tool_Fail("pack", pszPath, "changed while it was packed", dwErr, 0);
    return tool_Fail("pack", pszPath, "cannot be read", PKG_ERR_OPEN, dwErr);
}

// A source measured through the handle that reads it, which must be the size
// it was checked at; one that changes on the way fails in the record writer.
int PackSourceFile(PkgPackOut* pPack, ToolOutput** ppOut, const PackJob* pJob,
                   const PackSource* pSource)
{
    const char* pszPath = pSource->pszArg;
    ToolFile* pFile = NULL;
    if (!OpenSource(pSource, &pFile)) {
        tos_DiscardOutput(ppOut);
        return TOOL_FAILED;
    }
    uint64_t cbSize = 0;
    uint32_t dwErr = 0;
    int nResult = TOOL_OK;
    if (tool_IsOwnOutput("pack", *ppOut, pFile, pszPath, "package"))
        nResult = TOOL_FAILED;
    else if (!tos_Size(pFile, &cbSize) || cbSize != pSource->cbSize)
        nResult = FailRecord(ppOut, pJob, pszPath, PKG_ERR_SIZE);
    else if (!pkg_WriteRecord(pPack, pszPath, pSource->szName, (uint32_t)cbSize, pFile, tos_Read,
                              &dwErr))
        nResult = FailRecord(ppOut, pJob, pszPath, dwErr);
    tos_Close(&pFile);
    if (nResult != TOOL_OK)
        tos_DiscardOutput(ppOut);
    return nResult;
}

// The tool is not bound by the launchers' 4096-byte buffer: 1 MiB, as a
// plain copy with dd bs=1M, takes the fewest calls the page cache still
// answers quickly (measured against 256 KiB, 2 and 4 MiB, and a source
// read through a mapping, which costs more in page faults than it saves).
uint8_t s_abBuf[1u << 20];

// Every record, then the end record, into the new file: TOOL_OK, or the
// exit code of the failure printed, the new file discarded.
int WritePackage(ToolOutput** ppOut, const PackJob* pJob)
{
    PackWriter writer = {tos_OutputFile(*ppOut), 0, 0};
    PkgPackOut pack = {&writer, WriteCounted, NULL, 0, s_abBuf, sizeof s_abBuf};
    int nCount = pJob->nFiles + pJob->bEnd;
    if (pkg_WriteHeader(&pack) != 0)
        return tool_FailOutput("pack", pJob->pszPackage, ppOut, tos_LastError());
    for (int i = 0; i < pJob->nFiles; ++i) {
        const PackSource* pSource = &pJob->sources[i];
        tool_Note("[%d/%d] %s\n", i + 1, nCount, tool_ShownName(pSource->szName, pJob->uCodePage));
        writer.nDone = i;
        int nResult = PackSourceFile(&pack, ppOut, pJob, pSource);
        if (nResult != TOOL_OK)
            return nResult;
    }
    if (pJob->bEnd) {
        tool_Note("[%d/%d] %s\n", nCount, nCount, g_szPkgEndName);
        uint32_t dwErr = 0;
        if (!pkg_WriteEndRecord(&pack, &dwErr))
            return tool_FailOutput("pack", pJob->pszPackage, ppOut, tos_LastError());
    }
    tool_ProgressAt(writer.cbDone, nCount);
    return TOOL_OK;
}

// The files, and --end once, after them.
int ParsePack(int argc, char** argv, int* pbEnd)
{
    *pbEnd = 0;
    for (int i = 0; i < argc; ++i) {
        if (tool_IsFlag(argv[i], "--end") && *pbEnd)
            return tool_WrongCommandLine("pack", "--end comes once");
        if (tool_IsFlag(argv[i], "--end"))
            *pbEnd = 1;
        else if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("pack",
                                         "there is no option %s (name a file of that "
                                         "name as ./%s, or after --)",
                                         argv[i], argv[i]);
        else if (*pbEnd)
            return tool_WrongCommandLine("pack", "--end comes after the files: \"%s\" follows it",
                                         argv[i]);
    }
    if (argc - *pbEnd < 1)
        return tool_WrongCommandLine("pack", "name the package to write, then its files");
    if (argc - *pbEnd < 2 && !*pbEnd)
        return tool_WrongCommandLine("pack", "name the files to pack after the package");
    if (argv[0][0] == '\0')
        return tool_WrongCommandLine("pack", "the package's name is empty");
    return tool_EmptyName("pack", argc - *pbEnd, argv);
}

} // namespace

int cmd_Pack(int argc, char** argv)
{
    PackJob job;
    job.uCodePage = 0;
    if (!tool_TakeCodePage("pack", &argc, argv, &job.uCodePage))
        return TOOL_USAGE;
    int nResult = ParsePack(argc, argv, &job.bEnd);
    if (nResult != TOOL_OK)
        return nResult;
    job.nFiles = argc - job.bEnd - 1;
    job.pszPackage = argv[0];
    for (int i = 1; i <= job.nFiles; ++i) {
        if (!tool_CheckPath("pack", argv[i]))
            return TOOL_FAILED;
    }
    ToolOutput* pOut = tool_OpenOutput("pack", argv[0], "package");
    if (pOut == NULL)
        return TOOL_FAILED;
    job.sources.resize(job.nFiles);
    if (!CheckSources(argv + 1, &job, pOut)) {
        tos_DiscardOutput(&pOut);
        return TOOL_FAILED;
    }
    tool_ProgressBegin("pack", job.cbPackage, job.nFiles + job.bEnd);
    nResult = WritePackage(&pOut, &job);
    tool_ProgressEnd();
    if (nResult != TOOL_OK)
        return nResult;
    return tool_CommitOutput("pack", argv[0], &pOut) ? TOOL_OK : TOOL_FAILED;
}
