// setuptool build <launcher.exe> <package> <out.exe>
// The launcher image, zero bytes up to 307200, then the package: the layout
// the launcher unpacks itself from. The fill's last 64 bytes take the seal:
// the package's length and digest, taken as it is copied and written in
// place once it is complete, so that the package is read once. Written under a temporary name
// beside <out.exe> and put in its place only when complete, so no half-written setup is ever left,
// and a failed build leaves an existing one as it was.
#include "setuptool.h"
#include "seal.h"
#include "tool_os.h"
#include "xxh32.h"

#include <stdio.h>
#include <string.h>

namespace
{

ToolFile* OpenIn(const char* pszPath, uint64_t* pcbSize)
{
    ToolFile* pFile = tool_OpenInput("build", pszPath);
    if (pFile != NULL && !tos_Size(pFile, pcbSize)) {
        tool_Fail("build", pszPath, "cannot be measured", PKG_ERR_SIZE, tos_LastError());
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

// 256 KiB, as pack's: a chunk is read, digested and written within the CPU's cache.
uint8_t s_abBuf[1u << 18];

// Writes cbZeros zero bytes.
uint32_t WriteZeros(ToolFile* pOut, uint32_t cbZeros)
{
    memset(s_abBuf, 0, sizeof s_abBuf);
    for (uint32_t cbLeft = cbZeros; cbLeft > 0;) {
        uint32_t cb = cbLeft < sizeof s_abBuf ? cbLeft : (uint32_t)sizeof s_abBuf;
        uint32_t dwErr = tos_Write(pOut, s_abBuf, cb);
        if (dwErr != 0)
            return dwErr;
        cbLeft -= cb;
    }
    return 0;
}

// Exactly the cbSize bytes pIn was measured at, then one more read that must
// find its end: a launcher still being linked, or a package still being
// written, would put the package away from its offset. *pbChanged says so.
// pDigest (NULL: none) takes every byte copied.
uint32_t CopyMeasured(ToolFile* pIn, uint64_t cbSize, ToolFile* pOut, int* pbChanged,
                      Xxh32* pDigest)
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
            xxh32_Add(pDigest, s_abBuf, cbRead);
        dwErr = tos_Write(pOut, s_abBuf, cbRead);
        if (dwErr != 0)
            return dwErr;
        cbLeft -= cbRead;
    }
}

// The seal of the package just copied, over the fill's last zero bytes.
uint32_t WriteSeal(ToolFile* pOut, uint64_t cbPackage, const Xxh32* pDigest)
{
    PkgSeal seal = {(uint32_t)cbPackage, xxh32_Digest(pDigest)};
    uint8_t abBlock[PKG_SEAL_SIZE];
    pkg_MakeSeal(&seal, abBlock);
    if (!tos_Seek(pOut, PKG_SEAL_AT))
        return tos_LastError();
    return tos_Write(pOut, abBlock, sizeof abBlock);
}

// Launcher, zeros, package and its seal into pOut; 0, a system error, or
// (*ppszChanged set) the name of an input whose size changed.
uint32_t WriteLayout(ToolFile* pLauncher, uint64_t cbLauncher, const char* pszLauncher,
                     ToolFile* pPackage, uint64_t cbPackage, const char* pszPackage, ToolFile* pOut,
                     const char** ppszChanged)
{
    int bChanged = 0;
    uint32_t dwErr = CopyMeasured(pLauncher, cbLauncher, pOut, &bChanged, NULL);
    if (dwErr != 0 || bChanged) {
        *ppszChanged = bChanged ? pszLauncher : NULL;
        return dwErr;
    }
    dwErr = WriteZeros(pOut, (uint32_t)(PKG_OFFSET - cbLauncher));
    Xxh32 digest;
    xxh32_Start(&digest, 0);
    if (dwErr == 0)
        dwErr = CopyMeasured(pPackage, cbPackage, pOut, &bChanged, &digest);
    if (dwErr == 0 && !bChanged)
        dwErr = WriteSeal(pOut, cbPackage, &digest);
    *ppszChanged = bChanged ? pszPackage : NULL;
    return dwErr;
}

// The setup into a new file beside argv[2], then in its place.
int WriteSetup(ToolFile* pLauncher, uint64_t cbLauncher, ToolFile* pPackage, uint64_t cbPackage,
               char** argv)
{
    const char* pszOut = argv[2];
    char szTemp[TOOL_PATH_BUF];
    if (tos_IsDir(pszOut)) {
        tool_Fail("build", pszOut, "is a folder: name the setup file", PKG_ERR_OPEN, 0);
        return 0;
    }
    if (!tool_TempBeside(pszOut, szTemp, sizeof szTemp)) {
        tool_Fail("build", pszOut, "leaves no room for a temporary name beside it",
                  PKG_ERR_PATH_TOO_LONG, 0);
        return 0;
    }
    ToolFile* pOut = tos_CreateNew(szTemp);
    if (pOut == NULL) {
        tool_Fail("build", szTemp, "cannot be made beside the setup", PKG_ERR_OPEN,
                  tos_LastError());
        return 0;
    }
    const char* pszChanged = NULL;
    uint32_t dwErr = WriteLayout(pLauncher, cbLauncher, argv[0], pPackage, cbPackage, argv[1], pOut,
                                 &pszChanged);
    if (!tos_Close(&pOut) && dwErr == 0 && pszChanged == NULL)
        dwErr = tos_LastError();
    if (dwErr != 0 || pszChanged != NULL) {
        if (pszChanged != NULL)
            tool_Fail("build", pszChanged, "changed while the setup was built", PKG_ERR_SIZE, 0);
        else
            tool_Fail("build", pszOut, "cannot be written", PKG_ERR_WRITE, dwErr);
        tos_Remove(szTemp);
        return 0;
    }
    return tool_Replace("build", szTemp, pszOut);
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
    for (int i = 0; i < argc; ++i) {
        if (!tool_CheckPath("build", argv[i]))
            return TOOL_FAILED;
    }
    int nResult = TOOL_FAILED;
    uint64_t cbLauncher = 0, cbPackage = 0;
    ToolFile* pPackage = NULL;
    ToolFile* pLauncher = OpenIn(argv[0], &cbLauncher);
    if (pLauncher == NULL)
        goto out;
    if (cbLauncher > PKG_SEAL_AT) {
        char szWhat[200];
        snprintf(szWhat, sizeof szWhat,
                 "is %llu bytes: a launcher image must fit in %d, before the seal and the package "
                 "at %d (name the launcher image, not a setup built from it)",
                 (unsigned long long)cbLauncher, PKG_SEAL_AT, PKG_OFFSET);
        tool_Fail("build", argv[0], szWhat, 0, 0);
        goto out;
    }
    pPackage = OpenIn(argv[1], &cbPackage);
    if (pPackage == NULL)
        goto out;
    if (!IsPackage(pPackage)) {
        tool_Fail("build", argv[1], "is not a package: it does not start with a package header",
                  PKG_ERR_BAD_HEADER, 0);
        goto out;
    }
    if (PKG_OFFSET + cbPackage >= 0x100000000ull) {
        tool_Fail("build", argv[1], "would make a setup of 4 GiB or more", PKG_ERR_SIZE, 0);
        goto out;
    }
    if (WriteSetup(pLauncher, cbLauncher, pPackage, cbPackage, argv))
        nResult = TOOL_OK;

out:
    tos_Close(&pPackage);
    tos_Close(&pLauncher);
    return nResult;
}
