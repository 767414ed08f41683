// setuptool: builds, inspects and extracts setups, and writes and checks the
// files the launcher trusts. Runs on Windows and under Wine.
#include "setuptool.h"

#include <stdio.h>
#include <string.h>

struct ToolCommand {
    const char* pszName;
    int (*pfnRun)(int argc, char** argv);
};

static const ToolCommand kCommands[] = {
    {"vrf", cmd_Vrf},
    {"pwd", cmd_Pwd},
    {NULL, NULL},
};

static const char kUsage[] =
    "usage: setuptool <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  vrf write  --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "                                     write a fresh verification file for an INI pair\n"
    "  vrf verify --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "                                     print \"verified\" (exit 0) or \"not verified\"\n"
    "  pwd encrypt [--hex] <password>     print the stored text form of a password\n"
    "  pwd decrypt [--hex] <text>         print the password of a stored text\n"
    "  --help                             this text\n"
    "\n"
    "exit codes: 0 done, 1 failed, 2 wrong command line\n";

int tool_Usage()
{
    fputs(kUsage, stderr);
    return TOOL_USAGE;
}

int main(int argc, char** argv)
{
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0)) {
        fputs(kUsage, stdout);
        return TOOL_OK;
    }
    if (argc < 2)
        return tool_Usage();
    for (const ToolCommand* pCmd = kCommands; pCmd->pszName != NULL; ++pCmd) {
        if (strcmp(argv[1], pCmd->pszName) == 0)
            return pCmd->pfnRun(argc - 2, argv + 2);
    }
    fprintf(stderr, "setuptool: unknown command \"%s\"\n", argv[1]);
    return tool_Usage();
}
