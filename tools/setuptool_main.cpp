// setuptool: builds, inspects and extracts setups, and writes and checks the
// files the launcher trusts. The same commands, texts and exit codes on
// Windows (setuptool.exe, also under Wine) and on Linux (kelvo-setuptool).
// The usage text is the one description of the commands: the Linux tool's
// manual page is made from it.
#include "install_sequence.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

struct ToolCommand {
    const char* pszName;
    int (*pfnRun)(int argc, char** argv);
};

// clang-format off
static const ToolCommand kCommands[] = {
    {"pack", cmd_Pack},
    {"build", cmd_Build},
    {"check", cmd_Check},
    {"list", cmd_List},
    {"unpack", cmd_Unpack},
    {"vrf", cmd_Vrf},
    {"pwd", cmd_Pwd},
    {"custom", cmd_Custom},
    {"log", cmd_Log},
    {NULL, NULL},
};
// clang-format on

static const char kUsage[] =
    "commands:\n"
    "  pack <package> <file>... [--end] [--codepage N]\n"
    "      makes a new package: the header, then one record per file in the order\n"
    "      given, named by the file's own name; --end, once and after the files,\n"
    "      adds an end record last (a file named ^Kelvo_end^ is refused).\n"
    "  build <launcher.exe> <package> <out.exe>\n"
    "      writes the launcher image, zero bytes up to offset 307200, then the\n"
    "      package, and in the last 64 of the zero bytes the seal: the package's\n"
    "      length and XXH32 digest, by which the launchers refuse a damaged copy.\n"
    "      Refuses an image larger than 307136 bytes.\n"
    "  check <setup.exe> [--codepage N]\n"
    "      the release check: the launcher image (PE32 GUI program within 307200\n"
    "      bytes, its version block, which launcher), every record walked with\n"
    "      that launcher's unpacker and checks, the programs it starts (setup:\n"
    "      " SETUP_COMPANION ", then " SETUP_INNER_INSTALLER ", both before any end record;\n"
    "      setup-lite: " SETUP_INNER_INSTALLER ", and " LITE_REGISTRATION_TOOL
    " where no client is\n"
    "      installed yet, a warning), a signature's certificate table, and the\n"
    "      seal (none: a warning). Exit 0 only when the setup installs as it is\n"
    "      and, signed or about to be, still will: both unpackers end the\n"
    "      package where the table begins; and when no seal says it is damaged.\n"
    "  list <file> [--offset N] [--codepage N]\n"
    "      prints one line per record: name, tab, data length; exit 1 when the\n"
    "      setup's seal does not match.\n"
    "  unpack <file> <dir> [--offset N] [--lite] [--codepage N]\n"
    "      extracts with the setup unpacker (or the setup-lite one) into <dir>,\n"
    "      which is made if missing, with every missing folder above it. A setup\n"
    "      whose seal does not match is extracted all the same, with exit 1.\n"
    "  vrf write  --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "      writes a fresh verification file for an INI pair.\n"
    "  vrf verify --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "      prints \"verified\" (exit 0) or \"not verified\" (exit 1).\n"
    "  pwd encrypt [--hex] <password>\n"
    "      prints the stored text form of a password.\n"
    "  pwd decrypt [--hex] <text>\n"
    "      prints the password of a stored text.\n"
    "  custom version\n"
    "      prints the customisation-set version and the client display name read\n"
    "      from KelvoCustomSet.ini/.vrf beside the program itself, or why there is\n"
    "      none.\n"
    "  custom set <dir> <section> <key> <value>\n"
    "      sets one value of KelvoCustom.ini in <dir> and writes a fresh\n"
    "      KelvoCustom.vrf; refuses a pair that does not verify. Prints the result\n"
    "      number with its meaning; exit 0 only for result 0.\n"
    "  log [<folder>...] [--codepage N]\n"
    "      reads every file of the folders that holds the launchers' log lines,\n"
    "      whatever its name (setuptool.exe: c:\\KelvoLog when no folder is\n"
    "      named), counts a line that copies of one log share once, and prints one\n"
    "      block per run: its start, who ran it, the launcher, how it ended\n"
    "      (installed, with the inner installer's exit code; refused, and why;\n"
    "      failed, with what to do; no ending in the log) and, for a run that did\n"
    "      not install, the lines of the step that failed. Folders named together\n"
    "      are read as one: name those a launcher set aside beside its log folder\n"
    "      (KelvoLog.untrusted.<n>) too. Exit 0 when the run that ended last\n"
    "      installed, 1 when it did not, 2 when the folders hold no run or cannot\n"
    "      be read.\n"
    "  --help, help\n"
    "      this text.\n"
    "\n"
    "Without --offset, list and unpack find the package themselves: at 307200\n"
    "in a program (a file that starts with MZ: a built setup), else at 0. An\n"
    "offset is decimal (leading zeros change nothing), or hexadecimal after 0x.\n"
    "A package holds its file names in the ANSI code page of the PC that runs\n"
    "the setup. --codepage 1252 (Western) or --codepage 936 (Chinese, GBK)\n"
    "names it: pack stores each name in it, and a name it has no place for is\n"
    "refused; list, unpack and check read the names in it, and log the lines of\n"
    "a log. Without --codepage setuptool.exe takes the code page of the Windows\n"
    "it runs on, and kelvo-setuptool, which has none, takes ASCII names only\n"
    "(log shows any other byte as \\xNN).\n"
    "pack and build write a new file beside the one named and put it in its\n"
    "place only when complete: after a failure an existing file is unchanged.\n"
    "pack copies each file to exactly the size it had when opened; one that\n"
    "grows or shrinks meanwhile fails with error 155.\n"
    "Exit codes: 0 done; 1 failed (on stderr: the file, what failed, the error\n"
    "number and its meaning, the system's reason, what to do); 2 wrong command\n"
    "line (what is wrong, and the command's synopsis). Progress goes to stderr.\n";

static void PrintUsage(FILE* pStream)
{
    fprintf(pStream, "usage: %s <command> [arguments]\n\n", g_szToolName);
    fputs(kUsage, pStream);
}

// The command's own lines of the usage text: those that start with two
// blanks and its name.
static void PrintSynopsis(const char* pszCommand)
{
    size_t cchCommand = strlen(pszCommand);
    for (const char* pszLine = kUsage; *pszLine != '\0';) {
        const char* pszEnd = strchr(pszLine, '\n');
        if (strncmp(pszLine, "  ", 2) == 0 && strncmp(pszLine + 2, pszCommand, cchCommand) == 0 &&
            (pszLine[2 + cchCommand] == ' ' || pszLine + 2 + cchCommand == pszEnd))
            fprintf(stderr, "usage: %s %.*s\n", g_szToolName, (int)(pszEnd - pszLine - 2),
                    pszLine + 2);
        pszLine = pszEnd + 1;
    }
}

int tool_WrongCommandLine(const char* pszCommand, const char* pszFormat, ...)
{
    fprintf(stderr, "%s %s: ", g_szToolName, pszCommand);
    va_list args;
    va_start(args, pszFormat);
    vfprintf(stderr, pszFormat, args);
    va_end(args);
    fputc('\n', stderr);
    PrintSynopsis(pszCommand);
    fprintf(stderr, "%s --help describes every command.\n", g_szToolName);
    return TOOL_USAGE;
}

int tool_Main(int argc, char** argv)
{
    if (argc >= 2 && (strcmp(argv[1], "--help") == 0 || strcmp(argv[1], "-h") == 0 ||
                      strcmp(argv[1], "help") == 0)) {
        PrintUsage(stdout);
        return TOOL_OK;
    }
    if (argc < 2) {
        fprintf(stderr, "%s: no command was given\n", g_szToolName);
        PrintUsage(stderr);
        return TOOL_USAGE;
    }
    for (const ToolCommand* pCmd = kCommands; pCmd->pszName != NULL; ++pCmd) {
        if (strcmp(argv[1], pCmd->pszName) == 0)
            return pCmd->pfnRun(argc - 2, argv + 2);
    }
    fprintf(stderr, "%s: there is no command \"%s\"; the commands are", g_szToolName, argv[1]);
    for (const ToolCommand* pCmd = kCommands; pCmd->pszName != NULL; ++pCmd)
        fprintf(stderr, " %s", pCmd->pszName);
    fprintf(stderr, ".\n%s --help describes every command.\n", g_szToolName);
    return TOOL_USAGE;
}

int main(int argc, char** argv)
{
    tos_KeepArguments(argc, argv);
    return tool_Main(argc, argv);
}
