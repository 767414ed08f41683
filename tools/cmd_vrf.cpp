// setuptool vrf: writes and checks the verification files of INI pairs.
//   vrf write  --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>
//   vrf verify --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>
#include "setuptool.h"
#include "cus_platform.h"
#include "tool_os.h"
#include "vrf.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

namespace
{

enum PairKind { PAIR_CUSTOM, PAIR_UNINSTALL, PAIR_GENERIC };

struct PairArgs {
    PairKind eKind;
    const char* pszDirOrIni;
    const char* pszVrf; // generic pairs only
};

// argv: the kind option and its paths, nothing more.
bool ParsePair(int argc, char** argv, PairArgs* pArgs)
{
    pArgs->pszVrf = NULL;
    if (argc == 2 && tool_IsFlag(argv[0], "--custom"))
        pArgs->eKind = PAIR_CUSTOM;
    else if (argc == 2 && tool_IsFlag(argv[0], "--uninstall"))
        pArgs->eKind = PAIR_UNINSTALL;
    else if (argc == 3 && tool_IsFlag(argv[0], "--generic"))
        pArgs->eKind = PAIR_GENERIC;
    else
        return false;
    pArgs->pszDirOrIni = argv[1];
    if (pArgs->eKind == PAIR_GENERIC)
        pArgs->pszVrf = argv[2];
    return true;
}

int WritePair(const PairArgs& args)
{
    int nError = 0;
    int bWritten = 0;
    errno = 0;
    switch (args.eKind) {
    case PAIR_CUSTOM:
        bWritten = CusVrfWrite(&nError, args.pszDirOrIni);
        break;
    case PAIR_UNINSTALL:
        bWritten = UninstallVrfWrite(&nError, args.pszDirOrIni);
        break;
    case PAIR_GENERIC:
        bWritten = VrfWrite(args.pszDirOrIni, args.pszVrf, &nError);
        break;
    }
    if (!bWritten) {
        // The INI file's own failures name it; the .vrf file's name its pair.
        // The writer's last failed call tells the system's reason.
        uint32_t dwSysErr =
            nError == VRF_ERR_INI_OPEN || nError == VRF_ERR_CREATE || nError == VRF_ERR_WRITE
                ? tos_SystemError()
                : 0;
        const char* pszFile =
            nError <= VRF_ERR_INI_OPEN || args.pszVrf == NULL ? args.pszDirOrIni : args.pszVrf;
        return tool_Fail("vrf write", pszFile, NULL, (uint32_t)nError, dwSysErr);
    }
    puts("written");
    return TOOL_OK;
}

// A pair whose file is not there was named wrong: no verdict, the file
// named with the system's reason, exit 2 (1 says the pair does not verify).
int MissingFile(const PairArgs& args)
{
    char szIni[CUS_PATH_BUF], szVrf[CUS_PATH_BUF];
    const char* apszFiles[2] = {args.pszDirOrIni, args.pszVrf};
    if (args.eKind != PAIR_GENERIC) {
        int bJoined = args.eKind == PAIR_CUSTOM
                          ? CusPairPaths(args.pszDirOrIni, szIni, szVrf)
                          : UninstallPairPaths(args.pszDirOrIni, szIni, szVrf);
        if (!bJoined) {
            tool_Fail("vrf verify", args.pszDirOrIni, "is too long a folder for the pair",
                      PKG_ERR_PATH_TOO_LONG, 0);
            return TOOL_USAGE;
        }
        apszFiles[0] = szIni;
        apszFiles[1] = szVrf;
    }
    for (const char* pszFile : apszFiles) {
        int bDir = tos_IsDir(pszFile);
        ToolFile* pFile = bDir ? NULL : tos_OpenRead(pszFile);
        uint32_t dwSysErr = pFile == NULL && !bDir ? tos_LastError() : 0;
        tos_Close(&pFile);
        if (!bDir && dwSysErr == 0)
            continue;
        const char* pszWhat = bDir                      ? "is a folder, not a file"
                              : tos_IsMissing(dwSysErr) ? "is not there"
                                                        : "cannot be read";
        tool_FailToDo("vrf verify", pszFile, pszWhat, 0, dwSysErr,
                      "Check the path: name the pair's files.");
        return TOOL_USAGE;
    }
    return TOOL_OK;
}

int VerifyPair(const PairArgs& args)
{
    int nMissing = MissingFile(args);
    if (nMissing != TOOL_OK)
        return nMissing;
    int bVerified = 0;
    switch (args.eKind) {
    case PAIR_CUSTOM:
        bVerified = CusIniVerify(args.pszDirOrIni, 0);
        break;
    case PAIR_UNINSTALL:
        bVerified = UninstallIniVerify(args.pszDirOrIni);
        break;
    case PAIR_GENERIC:
        bVerified = IniVerify(args.pszDirOrIni, args.pszVrf);
        break;
    }
    puts(bVerified ? "verified" : "not verified");
    return bVerified ? TOOL_OK : TOOL_FAILED;
}

} // namespace

int cmd_Vrf(int argc, char** argv)
{
    PairArgs args;
    if (argc >= 1 && tool_EmptyName("vrf", argc - 1, argv + 1) != TOOL_OK)
        return TOOL_USAGE;
    if (argc < 1 || (strcmp(argv[0], "write") != 0 && strcmp(argv[0], "verify") != 0))
        return tool_WrongCommandLine("vrf", "say write or verify");
    if (!ParsePair(argc - 1, argv + 1, &args))
        return tool_WrongCommandLine("vrf", "name the pair: --custom <dir>, --uninstall <dir> or "
                                            "--generic <ini> <vrf>");
    return strcmp(argv[0], "write") == 0 ? WritePair(args) : VerifyPair(args);
}
