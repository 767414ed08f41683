// setuptool pack <package> <file>... [--end] [--codepage N]
// A new package: the header, one record per file in the order given, and with
// --end an end record last. Every source is checked first (a plain file name
// the unpacker accepts, in the package's code page, once only, an existing
// file that opens), and the package is written under a temporary name beside
// its place and put there only when complete: a failed pack leaves an
// existing package as it was, and no new one. Each file is measured through
// the handle it is read from and copied to exactly that size.
#include "setuptool.h"
#include "record_writer.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>
#include <vector>

namespace
{

// A failure told, for the steps that answer whether they could.
int Refuse(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
           uint32_t dwSysErr)
{
    tool_Fail(pszCommand, pszFile, pszWhat, dwErr, dwSysErr);
    return 0;
}

struct PackSource {
    const char* pszArg; // the path as given: one of main's own argv strings
    // Room for any file name (255 UTF-16 units take up to 510 bytes in a
    // double-byte code page), so a long name is refused as long.
    char szName[2 * 255 + 1];
};

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
    return Refuse("pack", pszPath, szWhat, PKG_ERR_OPEN_DEST, 0);
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
        return Refuse("pack", pszPath, szWhat, PKG_ERR_NAME_LENGTH, 0);
    }
    // What unpack leaves of an end record, taken in by a glob over its folder:
    // packed as a file, it would end the package for the setup unpacker.
    if (strcmp(pSource->szName, g_szPkgEndName) == 0)
        return Refuse("pack", pszPath,
                      "is named like the end record, which ends the package for the setup "
                      "unpacker: it is the empty file unpack leaves; leave it out, and end "
                      "the package with --end",
                      PKG_ERR_OPEN_DEST, 0);
    if (strchr(pSource->szName, '\\') != NULL)
        return Refuse("pack", pszPath,
                      "has a backslash in its name, which would address a subfolder",
                      PKG_ERR_OPEN_DEST, 0);
    if (eFault != PKG_NAME_OK) {
        snprintf(szWhat, sizeof szWhat, "has a name that %s", NameFaultText(eFault));
        return Refuse("pack", pszPath, szWhat, PKG_ERR_OPEN_DEST, 0);
    }
    return 1;
}

// Checks every source before anything is written.
int CheckSources(char** argv, int nFiles, uint32_t uCodePage, std::vector<PackSource>* pSources)
{
    const PkgCodePage* pCodePage = pkg_CodePage(uCodePage);
    for (int i = 0; i < nFiles; ++i) {
        PackSource* pSource = &(*pSources)[i];
        pSource->pszArg = argv[i];
        ToolFile* pFile = NULL;
        if (!NameSource(pSource, uCodePage, pCodePage) || !OpenSource(pSource, &pFile))
            return 0;
        tos_Close(&pFile);
        for (int j = 0; j < i; ++j) {
            if (pkg_SameName((*pSources)[j].szName, pSource->szName)) {
                char szWhat[PKG_MAX_NAME * 4 + 64];
                snprintf(szWhat, sizeof szWhat,
                         "has the name of \"%s\" before it (Windows takes A and a for one)",
                         (*pSources)[j].pszArg);
                return Refuse("pack", pSource->pszArg, szWhat, PKG_ERR_OPEN_DEST, 0);
            }
        }
    }
    return 1;
}

// A failure of the record writer: its number, or a read's system code.
int FailRecord(const char* pszPath, uint32_t dwErr)
{
    if (dwErr == PKG_ERR_SIZE)
        return Refuse("pack", pszPath, "changed while it was packed", dwErr, 0);
    if (dwErr == PKG_ERR_WRITE)
        return Refuse("pack", pszPath, "could not be written into the package", dwErr,
                      tos_LastError());
    return Refuse("pack", pszPath, "cannot be read", PKG_ERR_OPEN, dwErr);
}

// A source measured through the handle that reads it; one that changes on
// the way fails in the record writer.
int PackSourceFile(PkgPackOut* pOut, const PackSource* pSource)
{
    const char* pszPath = pSource->pszArg;
    ToolFile* pFile = NULL;
    if (!OpenSource(pSource, &pFile))
        return 0;
    uint64_t cbSize = 0;
    uint32_t dwErr = 0;
    int bDone = 0;
    if (!tos_Size(pFile, &cbSize) || cbSize > 0xFFFFFFFFull)
        tool_Fail("pack", pszPath, "is 4 GiB or larger, or cannot be measured", PKG_ERR_SIZE, 0);
    else if (!pkg_WriteRecord(pOut, pszPath, pSource->szName, (uint32_t)cbSize, pFile, tos_Read,
                              &dwErr))
        FailRecord(pszPath, dwErr);
    else
        bDone = 1;
    tos_Close(&pFile);
    return bDone;
}

// Every record, then the end record, into the new file pOut writes.
int PackAll(PkgPackOut* pOut, const std::vector<PackSource>& sources, int nFiles, int bEnd,
            uint32_t uCodePage, const char* pszPackage)
{
    if (pkg_WriteHeader(pOut) != 0)
        return Refuse("pack", pszPackage, "cannot be written", PKG_ERR_WRITE, tos_LastError());
    int nCount = nFiles + bEnd;
    for (int i = 0; i < nFiles; ++i) {
        fprintf(stderr, "[%d/%d] %s\n", i + 1, nCount,
                tool_ShownName(sources[i].szName, uCodePage));
        if (!PackSourceFile(pOut, &sources[i]))
            return 0;
    }
    if (!bEnd)
        return 1;
    fprintf(stderr, "[%d/%d] %s\n", nCount, nCount, g_szPkgEndName);
    uint32_t dwErr = 0;
    return pkg_WriteEndRecord(pOut, &dwErr) ||
           Refuse("pack", pszPackage, "cannot be written", PKG_ERR_WRITE, tos_LastError());
}

// The tool is not bound by the launchers' 4096-byte buffer; 256 KiB keeps
// the read, the scrambling and the write of a chunk within the CPU's cache.
uint8_t s_abBuf[1u << 18];

int WritePackage(const char* pszTemp, const std::vector<PackSource>& sources, int nFiles, int bEnd,
                 uint32_t uCodePage, const char* pszPackage)
{
    ToolFile* pOut = tos_CreateNew(pszTemp);
    if (pOut == NULL)
        return Refuse("pack", pszTemp, "cannot be made beside the package", PKG_ERR_OPEN,
                      tos_LastError());
    PkgPackOut out = {pOut, tos_Write, NULL, 0, s_abBuf, sizeof s_abBuf};
    int bWritten = PackAll(&out, sources, nFiles, bEnd, uCodePage, pszPackage);
    if (!tos_Close(&pOut) && bWritten)
        bWritten = Refuse("pack", pszPackage, "cannot be written", PKG_ERR_WRITE, tos_LastError());
    return bWritten;
}

// The files, and --end once, after them.
int ParsePack(int argc, char** argv, int* pbEnd)
{
    *pbEnd = 0;
    for (int i = 0; i < argc; ++i) {
        if (strcmp(argv[i], "--end") == 0 && *pbEnd)
            return tool_WrongCommandLine("pack", "--end comes once");
        if (strcmp(argv[i], "--end") == 0)
            *pbEnd = 1;
        else if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("pack",
                                         "there is no option %s (name a file of that "
                                         "name as ./%s)",
                                         argv[i], argv[i]);
        else if (*pbEnd)
            return tool_WrongCommandLine("pack", "--end comes after the files: \"%s\" follows it",
                                         argv[i]);
    }
    if (argc - *pbEnd < 1)
        return tool_WrongCommandLine("pack", "name the package to write, then its files");
    if (argc - *pbEnd < 2 && !*pbEnd)
        return tool_WrongCommandLine("pack", "name the files to pack after the package");
    return TOOL_OK;
}

} // namespace

int cmd_Pack(int argc, char** argv)
{
    uint32_t uCodePage = 0;
    int bEnd = 0;
    if (!tool_TakeCodePage("pack", &argc, argv, &uCodePage))
        return TOOL_USAGE;
    int nResult = ParsePack(argc, argv, &bEnd);
    if (nResult != TOOL_OK)
        return nResult;
    int nFiles = argc - bEnd - 1;
    char szTemp[TOOL_PATH_BUF];
    for (int i = 0; i <= nFiles; ++i) {
        if (!tool_CheckPath("pack", argv[i]))
            return TOOL_FAILED;
    }
    if (tos_IsDir(argv[0]))
        return tool_Fail("pack", argv[0], "is a folder: name the package file", PKG_ERR_OPEN, 0);
    if (!tool_TempBeside(argv[0], szTemp, sizeof szTemp))
        return tool_Fail("pack", argv[0], "leaves no room for a temporary name beside it",
                         PKG_ERR_PATH_TOO_LONG, 0);
    std::vector<PackSource> sources(nFiles);
    if (!CheckSources(argv + 1, nFiles, uCodePage, &sources))
        return TOOL_FAILED;
    if (!WritePackage(szTemp, sources, nFiles, bEnd, uCodePage, argv[0])) {
        tos_Remove(szTemp);
        return TOOL_FAILED;
    }
    return tool_Replace("pack", szTemp, argv[0]) ? TOOL_OK : TOOL_FAILED;
}
