// setuptool build <launcher.exe> <package> <out.exe> [--quiet]
// The launcher image, zero bytes up to 307200, then the package: the layout
// the launcher unpacks itself from. Only one of the two launchers becomes a
// setup. The fill's last 64 bytes take the seal: the package's length and
// digest, taken as the package is copied and written in place once it is
// complete, so that the package is read once (standard output, which cannot
// go back, has the digest taken in a pass of its own first). Written as a
// new file that takes <out.exe>'s place only when complete, so no
// half-written setup is ever left, and a failed build leaves an existing one
// as it was.
#include "setuptool.h"
#include "pe_image.h"
#include "seal.h"
#include "tool_os.h"
#include "xxh3.h"

#include <stdio.h>
#include <string.h>

namespace
{

ToolFile* OpenIn(const char* pszPath, uint64_t* pcbSize)
{
    ToolFile* pFile = tool_OpenInput("build", pszPath);
    if (pFile != NULL && !tos_Size(pFile, pcbSize)) {
        tool_Fail("build", tool_InputName(pszPath), "cannot be measured", PKG_ERR_SIZE,
                  tos_LastError());
        tos_Close(&pFile);
    }
    return pFile;
}

int IsPackage(ToolFile* pPackage)
{
    uint8_t abMarker[PKG_MARKER_LEN];
    uint32_t cbRead = 0;
    int bIs = tos_Read(pPackage, abMarker, sizeof abMarker, &cbRead) == 0 &&
              cbRead == sizeof abMarker && pkg_CheckMarker(abMarker) == 0;
    tos_Seek(pPackage, 0);
    return bIs;
}

// The launcher image, read whole: it is told apart from other programs, then
// written from here.
uint8_t s_abImage[PKG_OFFSET];
uint8_t s_abBuf[1u << 20];

// Exactly the cbSize bytes pIn was measured at into pBuf, then one more read
// that must find its end: a launcher still being linked, or a package still
// being written, would put the package away from its offset. 0, a system
// error, or (*pbChanged) a file that changed.
uint32_t ReadMeasured(ToolFile* pIn, uint8_t* pBuf, uint32_t cbSize, int* pbChanged)
{
    uint32_t cbRead = 0;
    uint8_t bMore = 0;
    uint32_t dwErr = tos_Read(pIn, pBuf, cbSize, &cbRead);
    *pbChanged = dwErr == 0 && cbRead != cbSize;
    if (dwErr != 0 || *pbChanged)
        return dwErr;
    dwErr = tos_Read(pIn, &bMore, 1, &cbRead);
    *pbChanged = dwErr == 0 && cbRead != 0;
    return dwErr;
}

// The setup being written, counted for the progress line.
struct SetupWriter {
    ToolFile* pOut;
    uint64_t cbDone;
};

uint32_t Write(SetupWriter* pWriter, const void* pBuf, uint32_t cb)
{
    uint32_t dwErr = tos_Write(pWriter->pOut, pBuf, cb);
    pWriter->cbDone += cb;
    tool_ProgressAt(pWriter->cbDone, 0);
    return dwErr;
}

// The package: exactly the bytes measured, as ReadMeasured reads, into
// pWriter (NULL: read only); pDigest (NULL: none) takes every byte.
uint32_t CopyPackage(ToolFile* pIn, uint64_t cbSize, SetupWriter* pWriter, int* pbChanged,
                     Xxh3* pDigest)
{
    for (uint64_t cbLeft = cbSize;;) {
        uint32_t cbWant = cbLeft < sizeof s_abBuf ? (uint32_t)cbLeft : (uint32_t)sizeof s_abBuf;
        uint32_t cbRead = 0;
        uint32_t dwErr = tos_Read(pIn, s_abBuf, cbWant == 0 ? 1 : cbWant, &cbRead);
        if (dwErr != 0)
            return dwErr;
        if (cbWant == 0 || cbRead == 0) {
            *pbChanged = cbRead != 0 || cbLeft != 0;
            return 0;
        }
        if (pDigest != NULL)
            xxh3_Add(pDigest, s_abBuf, cbRead);
        if (pWriter != NULL && (dwErr = Write(pWriter, s_abBuf, cbRead)) != 0)
            return dwErr;
        cbLeft -= cbRead;
    }
}

// The seal of the package, over the fill's last zero bytes.
void MakeSeal(uint64_t cbPackage, const Xxh3* pDigest, uint8_t abBlock[PKG_SEAL_SIZE])
{
    PkgSeal seal = {(uint32_t)cbPackage, xxh3_Digest(pDigest)};
    pkg_MakeSeal(&seal, abBlock);
}

// The package's digest, read once before it is written: for an output that
// cannot go back to the seal. 0, a system error, or (*pbChanged) a package
// that changed.
uint32_t DigestFirst(ToolFile* pPackage, uint64_t cbPackage, int* pbChanged)
{
    Xxh3 digest;
    xxh3_Start(&digest);
    uint32_t dwErr = CopyPackage(pPackage, cbPackage, NULL, pbChanged, &digest);
    if (dwErr == 0 && !*pbChanged && !tos_Seek(pPackage, 0))
        dwErr = tos_LastError();
    MakeSeal(cbPackage, &digest, s_abImage + PKG_SEAL_AT);
    return dwErr;
}

// The image, the zero fill and the package into the new file, and the seal:
// written in place after the package where the output can go back to it,
// else taken before and written in its place in the fill.
uint32_t WriteLayout(uint32_t cbLauncher, ToolFile* pPackage, uint64_t cbPackage,
                     SetupWriter* pWriter, int bCanGoBack, int* pbPackageChanged)
{
    memset(s_abImage + cbLauncher, 0, PKG_OFFSET - cbLauncher);
    uint32_t dwErr = bCanGoBack ? 0 : DigestFirst(pPackage, cbPackage, pbPackageChanged);
    if (dwErr != 0 || *pbPackageChanged)
        return dwErr;
    dwErr = Write(pWriter, s_abImage, PKG_OFFSET);
    Xxh3 digest;
    xxh3_Start(&digest);
    if (dwErr == 0)
        dwErr = CopyPackage(pPackage, cbPackage, pWriter, pbPackageChanged,
                            bCanGoBack ? &digest : NULL);
    if (dwErr != 0 || *pbPackageChanged || !bCanGoBack)
        return dwErr;
    uint8_t abBlock[PKG_SEAL_SIZE];
    MakeSeal(cbPackage, &digest, abBlock);
    if (!tos_Seek(pWriter->pOut, PKG_SEAL_AT))
        return tos_LastError();
    return tos_Write(pWriter->pOut, abBlock, sizeof abBlock);
}

// The launcher image: small enough to leave room for the seal before the
// package, read whole and unchanged, and one of the two launchers.
int ReadLauncher(ToolFile* pLauncher, uint64_t cbLauncher, const char* pszPath)
{
    const char* pszShown = tool_InputName(pszPath);
    if (cbLauncher > PKG_SEAL_AT) {
        char szWhat[200];
        snprintf(szWhat, sizeof szWhat,
                 "is %llu bytes: a launcher image must fit in %d, before the seal and the package "
                 "at %d (name the launcher image, not a setup built from it)",
                 (unsigned long long)cbLauncher, PKG_SEAL_AT, PKG_OFFSET);
        tool_Fail("build", pszShown, szWhat, 0, 0);
        return 0;
    }
    int bChanged = 0;
    uint32_t dwErr = ReadMeasured(pLauncher, s_abImage, (uint32_t)cbLauncher, &bChanged);
    if (dwErr != 0 || bChanged) {
        if (dwErr != 0)
            tool_Fail("build", pszShown, "cannot be read", PKG_ERR_OPEN, dwErr);
        else
            tool_Fail("build", pszShown, "changed while the setup was built", PKG_ERR_SIZE, 0);
        return 0;
    }
    if (pe_WhichLauncher(s_abImage, (size_t)cbLauncher) != PE_UNKNOWN_LAUNCHER)
        return 1;
    tool_FailToDo("build", pszShown,
                  "is not a launcher image: setup.exe and setup-lite.exe carry the manifest of "
                  "the assembly \"Kelvo Setup\", and setup its password dialog, setup-lite its "
                  "icon",
                  0, 0,
                  "Build from setup.exe or setup-lite.exe, not from a program the package "
                  "carries.");
    return 0;
}

// The package: one that starts with a package header and leaves the setup
// below 4 GiB.
int CheckPackage(ToolFile* pPackage, uint64_t cbPackage, const char* pszPath)
{
    if (!IsPackage(pPackage)) {
        tool_Fail("build", tool_InputName(pszPath),
                  "is not a package: it does not start with a package header", PKG_ERR_BAD_HEADER,
                  0);
        return 0;
    }
    if (PKG_OFFSET + cbPackage < 0x100000000ull)
        return 1;
    char szWhat[200];
    snprintf(szWhat, sizeof szWhat,
             "is %llu bytes: it would make a setup of 4 GiB or more (%llu bytes with the %d of "
             "the launcher's part)",
             (unsigned long long)cbPackage, (unsigned long long)(PKG_OFFSET + cbPackage),
             PKG_OFFSET);
    tool_FailToDo("build", tool_InputName(pszPath), szWhat, PKG_ERR_SIZE, 0,
                  "Pack fewer or smaller files: a setup stays below 4 GiB.");
    return 0;
}

// The setup into a new file that takes argv[2]'s place.
int WriteSetup(ToolFile* pLauncher, uint32_t cbLauncher, ToolFile* pPackage, uint64_t cbPackage,
               char** argv)
{
    ToolOutput* pOut = tool_OpenOutput("build", argv[2], "setup");
    if (pOut == NULL)
        return TOOL_FAILED;
    if (tool_IsOwnOutput("build", pOut, pLauncher, argv[0], "setup") ||
        tool_IsOwnOutput("build", pOut, pPackage, argv[1], "setup")) {
        tos_DiscardOutput(&pOut);
        return TOOL_FAILED;
    }
    SetupWriter writer = {tos_OutputFile(pOut), 0};
    int bChanged = 0;
    tool_ProgressBegin("build", PKG_OFFSET + cbPackage, 0);
    uint32_t dwErr =
        WriteLayout(cbLauncher, pPackage, cbPackage, &writer, !tos_OutputIsStdout(pOut), &bChanged);
    tool_ProgressEnd();
    if (dwErr != 0)
        return tool_FailOutput("build", argv[2], &pOut, dwErr);
    if (bChanged) {
        tos_DiscardOutput(&pOut);
        return tool_Fail("build", tool_InputName(argv[1]), "changed while the setup was built",
                         PKG_ERR_SIZE, 0);
    }
    return tool_CommitOutput("build", argv[2], &pOut) ? TOOL_OK : TOOL_FAILED;
}

} // namespace

int cmd_Build(int argc, char** argv)
{
    for (int i = 0; i < argc; ++i) {
        if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("build", "there is no option %s", argv[i]);
    }
    if (argc != 3)
        return tool_WrongCommandLine("build", "name the launcher image, the package and the setup "
                                              "to write");
    if (tool_EmptyName("build", argc, argv) != TOOL_OK)
        return TOOL_USAGE;
    if (strcmp(argv[0], "-") == 0 && strcmp(argv[1], "-") == 0)
        return tool_WrongCommandLine("build", "standard input is one file: the launcher image "
                                              "and the package cannot both be -");
    int nResult = TOOL_FAILED;
    uint64_t cbLauncher = 0, cbPackage = 0;
    ToolFile* pPackage = NULL;
    ToolFile* pLauncher = OpenIn(argv[0], &cbLauncher);
    if (pLauncher == NULL || !ReadLauncher(pLauncher, cbLauncher, argv[0]))
        goto out;
    pPackage = OpenIn(argv[1], &cbPackage);
    if (pPackage == NULL || !CheckPackage(pPackage, cbPackage, argv[1]))
        goto out;
    nResult = WriteSetup(pLauncher, (uint32_t)cbLauncher, pPackage, cbPackage, argv);

out:
    tos_Close(&pPackage);
    tos_Close(&pLauncher);
    return nResult;
}
