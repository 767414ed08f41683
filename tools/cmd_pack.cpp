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

struct PackSource {
    const char* pszArg; // the path as given: one of main's own argv strings
    char szName[PKG_MAX_NAME * 4 + 1];
};

int OpenSource(const PackSource* pSource, ToolFile** ppFile)
{
    const char* pszPath = pSource->pszArg;
    switch (tos_OpenSource(pSource->pszArg, ppFile)) {
    case TOS_SOURCE_OPEN:
        return 1;
    case TOS_SOURCE_DIR:
        fprintf(stderr, "%s pack: \"%s\" is a directory, not a file\n", g_szToolName, pszPath);
        return 0;
    case TOS_SOURCE_MISSING:
        fprintf(stderr, "%s pack: \"%s\": error %d: %s\n", g_szToolName, pszPath, PKG_ERR_NO_SOURCE,
                pkg_ErrorText(PKG_ERR_NO_SOURCE));
        return 0;
    default:
        fprintf(stderr, "%s pack: \"%s\" cannot be opened: %s\n", g_szToolName, pszPath,
                tos_ErrorText(tos_LastError()));
        return 0;
    }
}

// The record name: the file's own name in the package's code page, one the
// unpacker takes as a plain file of its destination.
int NameSource(PackSource* pSource, uint32_t uCodePage, const PkgCodePage* pCodePage)
{
    const char* pszPath = pSource->pszArg;
    if (!tos_RecordName(pSource->pszArg, uCodePage, pSource->szName, sizeof pSource->szName)) {
        if (uCodePage == 0 && !g_bPkgSystemCodePage)
            fprintf(stderr,
                    "%s pack: \"%s\": the name is not ASCII; say with --codepage 1252 or "
                    "--codepage 936 which code page the setup is for\n",
                    g_szToolName, pszPath);
        else if (uCodePage == 0)
            fprintf(stderr,
                    "%s pack: \"%s\": this system's code page has no place for the name; "
                    "--codepage 1252 or --codepage 936 names another\n",
                    g_szToolName, pszPath);
        else
            fprintf(stderr, "%s pack: \"%s\": code page %u has no place for the name\n",
                    g_szToolName, pszPath, (unsigned)uCodePage);
        return 0;
    }
    // What unpack leaves of an end record, taken in by a glob over its folder:
    // packed as a file, it would end the package for the setup unpacker.
    if (strcmp(pSource->szName, g_szPkgEndName) == 0) {
        fprintf(stderr,
                "%s pack: \"%s\": a record of this name ends the package for the setup "
                "unpacker, which reads nothing behind it; it is the empty file unpack leaves: "
                "leave it out, and end the package with --end\n",
                g_szToolName, pszPath);
        return 0;
    }
    if (strlen(pSource->szName) > PKG_MAX_NAME || strchr(pSource->szName, '\\') != NULL ||
        !pkg_IsSafeName(pSource->szName, pCodePage)) {
        fprintf(stderr,
                "%s pack: \"%s\": a record name must be a plain file name of at most %d bytes\n",
                g_szToolName, pszPath, PKG_MAX_NAME);
        return 0;
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
            if (tool_SameName((*pSources)[j].szName, pSource->szName)) {
                fprintf(stderr, "%s pack: \"%s\" is in the package twice\n", g_szToolName,
                        tos_ShownName(pSource->szName, uCodePage));
                return 0;
            }
        }
    }
    return 1;
}

// The failure of one record, named by its file.
int FailRecord(const char* pszPath, uint32_t dwErr, const char* pszWhy)
{
    fprintf(stderr, "%s pack: \"%s\"%s: error %u: %s\n", g_szToolName, pszPath, pszWhy,
            (unsigned)dwErr, tool_ErrorText(dwErr));
    return 0;
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
        FailRecord(pszPath, PKG_ERR_SIZE, "");
    else if (!pkg_WriteRecord(pOut, pszPath, pSource->szName, (uint32_t)cbSize, pFile, tos_Read,
                              &dwErr))
        FailRecord(pszPath, dwErr, dwErr == PKG_ERR_SIZE ? " changed while it was packed" : "");
    else
        bDone = 1;
    tos_Close(&pFile);
    return bDone;
}

// Every record, then the end record, into the new file pOut writes.
int PackAll(PkgPackOut* pOut, const std::vector<PackSource>& sources, int nFiles, int bEnd,
            uint32_t uCodePage)
{
    if (pkg_WriteHeader(pOut) != 0) {
        tool_Fail("pack", PKG_ERR_WRITE);
        return 0;
    }
    int nCount = nFiles + bEnd;
    for (int i = 0; i < nFiles; ++i) {
        fprintf(stderr, "[%d/%d] %s\n", i + 1, nCount, tos_ShownName(sources[i].szName, uCodePage));
        if (!PackSourceFile(pOut, &sources[i]))
            return 0;
    }
    if (!bEnd)
        return 1;
    fprintf(stderr, "[%d/%d] %s\n", nCount, nCount, g_szPkgEndName);
    uint32_t dwErr = 0;
    return pkg_WriteEndRecord(pOut, &dwErr) || FailRecord(g_szPkgEndName, dwErr, "");
}

// The tool is not bound by the launchers' 4096-byte buffer.
uint8_t s_abBuf[1u << 20];

int WritePackage(const char* pszTemp, const std::vector<PackSource>& sources, int nFiles, int bEnd,
                 uint32_t uCodePage)
{
    ToolFile* pOut = tos_CreateNew(pszTemp);
    if (pOut == NULL) {
        fprintf(stderr, "%s pack: cannot write \"%s\": %s\n", g_szToolName, pszTemp,
                tos_ErrorText(tos_LastError()));
        return 0;
    }
    PkgPackOut out = {pOut, tos_Write, NULL, 0, s_abBuf, sizeof s_abBuf};
    int bWritten = PackAll(&out, sources, nFiles, bEnd, uCodePage);
    if (!tos_Close(&pOut) && bWritten) {
        fprintf(stderr, "%s pack: writing \"%s\" failed: %s\n", g_szToolName, pszTemp,
                tos_ErrorText(tos_LastError()));
        bWritten = 0;
    }
    return bWritten;
}

} // namespace

int cmd_Pack(int argc, char** argv)
{
    uint32_t uCodePage = 0;
    if (!tool_TakeCodePage(&argc, argv, &uCodePage))
        return tool_Usage();
    int bEnd = argc > 0 && strcmp(argv[argc - 1], "--end") == 0;
    argc -= bEnd;
    int nFiles = argc - 1;
    if (argc < 1 || (nFiles == 0 && !bEnd))
        return tool_Usage();

    char szTemp[TOOL_PATH_BUF];
    if (!tool_TempBeside(argv[0], szTemp, sizeof szTemp))
        return tool_Usage();
    if (tos_IsDir(argv[0])) {
        fprintf(stderr, "%s pack: \"%s\" is a directory; name the package file\n", g_szToolName,
                argv[0]);
        return TOOL_FAILED;
    }
    std::vector<PackSource> sources(nFiles);
    if (!CheckSources(argv + 1, nFiles, uCodePage, &sources))
        return TOOL_FAILED;
    if (!WritePackage(szTemp, sources, nFiles, bEnd, uCodePage)) {
        tos_Remove(szTemp);
        return TOOL_FAILED;
    }
    return tool_Replace("pack", szTemp, argv[0]) ? TOOL_OK : TOOL_FAILED;
}
