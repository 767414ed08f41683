// setuptool vrf: writes and checks the verification files of INI pairs.
//   vrf write  --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>
//   vrf verify --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>
#include "setuptool.h"
#include "vrf.h"

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
    if (argc == 2 && strcmp(argv[0], "--custom") == 0)
        pArgs->eKind = PAIR_CUSTOM;
    else if (argc == 2 && strcmp(argv[0], "--uninstall") == 0)
        pArgs->eKind = PAIR_UNINSTALL;
    else if (argc == 3 && strcmp(argv[0], "--generic") == 0)
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
        const char* pszFile =
            nError <= VRF_ERR_INI_OPEN || args.pszVrf == NULL ? args.pszDirOrIni : args.pszVrf;
        return tool_Fail("vrf write", pszFile, NULL, (uint32_t)nError, 0);
    }
    puts("written");
    return TOOL_OK;
}

int VerifyPair(const PairArgs& args)
{
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
    if (argc < 1 || (strcmp(argv[0], "write") != 0 && strcmp(argv[0], "verify") != 0))
        return tool_WrongCommandLine("vrf", "say write or verify");
    if (!ParsePair(argc - 1, argv + 1, &args))
        return tool_WrongCommandLine("vrf", "name the pair: --custom <dir>, --uninstall <dir> or "
                                            "--generic <ini> <vrf>");
    return strcmp(argv[0], "write") == 0 ? WritePair(args) : VerifyPair(args);
}
