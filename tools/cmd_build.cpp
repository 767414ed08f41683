// setuptool build <launcher.exe> <package> <out.exe>
// The launcher image, zero bytes up to 307200, then the package: the layout
// the launcher unpacks itself from. Written under a temporary name beside
// <out.exe> and put in its place only when complete, so no half-written
// setup is ever left, and a failed build leaves an existing one as it was.
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

namespace
{

ToolFile* OpenIn(const char* pszPath, uint64_t* pcbSize)
{
    ToolFile* pFile = tos_OpenRead(pszPath);
    if (pFile != NULL && !tos_Size(pFile, pcbSize))
        tos_Close(&pFile);
    if (pFile == NULL)
        fprintf(stderr, "%s build: cannot read \"%s\": %s\n", g_szToolName, pszPath,
                tos_ErrorText(tos_LastError()));
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

uint8_t s_abBuf[1u << 16];

// Copies the rest of pIn; with pIn NULL writes cbZeros zero bytes instead.
uint32_t Copy(ToolFile* pIn, ToolFile* pOut, uint32_t cbZeros)
{
    if (pIn == NULL) {
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
    for (;;) {
        uint32_t cbRead = 0;
        uint32_t dwErr = tos_Read(pIn, s_abBuf, sizeof s_abBuf, &cbRead);
        if (dwErr != 0 || cbRead == 0)
            return dwErr;
        dwErr = tos_Write(pOut, s_abBuf, cbRead);
        if (dwErr != 0)
            return dwErr;
    }
}

// The setup into a new file beside argv[2], then in its place.
int WriteSetup(ToolFile* pLauncher, uint64_t cbLauncher, ToolFile* pPackage, const char* pszOut)
{
    char szTemp[TOOL_PATH_BUF];
    if (tos_IsDir(pszOut) || !tool_TempBeside(pszOut, szTemp, sizeof szTemp)) {
        fprintf(stderr, "%s build: \"%s\" cannot be written: name the setup file\n", g_szToolName,
                pszOut);
        return 0;
    }
    ToolFile* pOut = tos_CreateNew(szTemp);
    if (pOut == NULL) {
        fprintf(stderr, "%s build: cannot write beside \"%s\": %s\n", g_szToolName, pszOut,
                tos_ErrorText(tos_LastError()));
        return 0;
    }
    uint32_t dwErr = Copy(pLauncher, pOut, 0);
    if (dwErr == 0)
        dwErr = Copy(NULL, pOut, (uint32_t)(PKG_OFFSET - cbLauncher));
    if (dwErr == 0)
        dwErr = Copy(pPackage, pOut, 0);
    if (!tos_Close(&pOut) && dwErr == 0)
        dwErr = tos_LastError();
    if (dwErr != 0) {
        fprintf(stderr, "%s build: writing \"%s\" failed: %s\n", g_szToolName, pszOut,
                tos_ErrorText(dwErr));
        tos_Remove(szTemp);
        return 0;
    }
    return tool_Replace("build", szTemp, pszOut);
}

} // namespace

int cmd_Build(int argc, char** argv)
{
    if (argc != 3)
        return tool_Usage();
    int nResult = TOOL_FAILED;
    uint64_t cbLauncher = 0, cbPackage = 0;
    ToolFile* pPackage = NULL;
    ToolFile* pLauncher = OpenIn(argv[0], &cbLauncher);
    if (pLauncher == NULL)
        goto out;
    if (cbLauncher > PKG_OFFSET) {
        fprintf(stderr, "%s build: the launcher image is %llu bytes; it must fit in %d\n",
                g_szToolName, (unsigned long long)cbLauncher, PKG_OFFSET);
        goto out;
    }
    pPackage = OpenIn(argv[1], &cbPackage);
    if (pPackage == NULL)
        goto out;
    if (!IsPackage(pPackage)) {
        fprintf(stderr, "%s build: \"%s\" is not a package\n", g_szToolName, argv[1]);
        goto out;
    }
    if (PKG_OFFSET + cbPackage >= 0x100000000ull) {
        fprintf(stderr, "%s build: a setup must stay below 4 GiB\n", g_szToolName);
        goto out;
    }
    if (WriteSetup(pLauncher, cbLauncher, pPackage, argv[2]))
        nResult = TOOL_OK;

out:
    tos_Close(&pPackage);
    tos_Close(&pLauncher);
    return nResult;
}
