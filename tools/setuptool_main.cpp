// setuptool: builds, inspects and extracts setups, and writes and checks the
// files the launcher trusts. The same commands, texts and exit codes on
// Windows (setuptool.exe, also under Wine) and on Linux (kelvo-setuptool).
// The usage text is the one description of the commands: the Linux tool's
// manual page is made from it. The conventions every command shares (--help,
// --quiet, --opt=value, "--", a failed write to standard output) are kept
// here, once.
#include "install_sequence.h"
#include "setuptool.h"
#include "tool_os.h"

#include <algorithm>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <vector>

struct ToolCommand {
    const char* pszName;
    int (*pfnRun)(int argc, char** argv);
    int bQuiet; // it shows progress, which --quiet silences
};

// clang-format off
static const ToolCommand kCommands[] = {
    {"pack", cmd_Pack, 1},
    {"build", cmd_Build, 1},
    {"check", cmd_Check, 1},
    {"list", cmd_List, 0},
    {"unpack", cmd_Unpack, 1},
    {"vrf", cmd_Vrf, 0},
    {"pwd", cmd_Pwd, 0},
    {"custom", cmd_Custom, 0},
    {"log", cmd_Log, 0},
    {NULL, NULL, 0},
};
// clang-format on

static const char kUsage[] =
    "commands:\n"
    "  pack <package> <file>... [--end] [--codepage N] [--quiet]\n"
    "      makes a new package: the header, then one record per file in the order\n"
    "      given, named by the file's own name; --end, once and after the files,\n"
    "      adds an end record last (a file named ^Kelvo_end^ is refused). The\n"
    "      package is refused before anything is written when it would reach\n"
    "      4 GiB, or when it is one of the files.\n"
    "  build <launcher.exe> <package> <out.exe> [--quiet]\n"
    "      writes the launcher image, zero bytes up to offset 307200, then the\n"
    "      package, and in the last 64 of the zero bytes the seal: the package's\n"
    "      length and XXH3 digest, by which the launchers refuse a damaged copy.\n"
    "      Takes only setup.exe or setup-lite.exe (told by the manifest both\n"
    "      carry, then setup's password dialog or setup-lite's icon), of at most\n"
    "      307136 bytes.\n"
    "  check <setup.exe> [--strict] [--json] [--codepage N] [--quiet]\n"
    "      the release check: the launcher image (setup or setup-lite, a PE32 GUI\n"
    "      program within 307200 bytes, its version block), every record walked\n"
    "      with that launcher's unpacker and checks, the programs it starts\n"
    "      (setup: " SETUP_COMPANION ", then " SETUP_INNER_INSTALLER ", both before any end\n"
    "      record; setup-lite: " SETUP_INNER_INSTALLER ", and " LITE_REGISTRATION_TOOL " where\n"
    "      no client is installed yet, a warning), a signature's certificate\n"
    "      table, and the seal (none: a warning). Exit 0 only when the setup\n"
    "      installs as it is and, signed or about to be, still will: both\n"
    "      unpackers end the package where the table begins; and when no seal\n"
    "      says it is damaged. --strict: a warning fails it too. --json: one\n"
    "      JSON document of the same facts.\n"
    "  list <file> [--offset N] [--json] [--codepage N]\n"
    "      prints one line per record: name, tab, data length (--json: one JSON\n"
    "      document); exit 1 when the setup's seal does not match.\n"
    "  unpack <file> <dir> [--offset N] [--lite] [--codepage N] [--quiet]\n"
    "      extracts with the setup unpacker (or the setup-lite one) into <dir>,\n"
    "      which is made if missing, with every missing folder above it. A name\n"
    "      taken by anything but a plain file of one name (a link, a device) is\n"
    "      refused; kelvo-setuptool writes each file whole or not at all. A setup\n"
    "      whose seal does not match is extracted all the same, with exit 1.\n"
    "  vrf write  --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "      writes a fresh verification file for an INI pair.\n"
    "  vrf verify --custom <dir> | --uninstall <dir> | --generic <ini> <vrf>\n"
    "      prints \"verified\" (exit 0) or \"not verified\" (exit 1); a file of the\n"
    "      pair that is not there is named, exit 2.\n"
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
    "  help [<command>], --help, -h\n"
    "      this text, or the command's part of it (also <command> --help).\n"
    "  --version, -V\n"
    "      the tool's version.\n"
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
    "An option takes its value as the next argument or after =\n"
    "(--codepage=1252); -- ends the options, so that a file may start with -.\n"
    "- as the package of pack or the setup of build writes standard output; as\n"
    "the file of list, check or unpack it reads standard input, which must be\n"
    "a file (< setup.exe): they seek in it. pack and build write a new file\n"
    "beside the one named and put it in its place only when complete: after\n"
    "a failure an existing file is unchanged and nothing is left. Neither\n"
    "replaces a folder; kelvo-setuptool writes through a symbolic link into\n"
    "the file it names, keeps the mode, owner and group of the file it\n"
    "replaces, and never replaces a device, a FIFO or a socket. pack copies\n"
    "each file to exactly the size it had when opened; one that grows or\n"
    "shrinks meanwhile fails with error 155.\n"
    "On a terminal, pack, build, unpack and check show how far work of more\n"
    "than 100 MB has come; --quiet keeps them silent but for failures.\n"
    "\n"
    "exit status:\n"
    "  0   done.\n"
    "  1   failed: on stderr the file, what failed, the error number and its\n"
    "      meaning, the system's reason, what to do; check: do not publish; vrf\n"
    "      verify: the pair does not verify; custom set: every result but 0.\n"
    "  2   wrong command line (what is wrong, and the command's synopsis), or\n"
    "      standard output could not be written.\n"
    "\n"
    "files:\n"
    "  KelvoCustomSet.ini, KelvoCustomSet.vrf\n"
    "      beside the program: the customisation set custom version reads.\n"
    "  <file>.setuptool-<pid>.tmp (kelvo-setuptool: <file>.setuptool-<host>-<pid>.tmp)\n"
    "      the new file beside the one pack or build replaces, while it is\n"
    "      written. kelvo-setuptool makes new files without a name where the\n"
    "      file system allows it, and otherwise removes its own when a signal\n"
    "      ends it, and those of ended runs when it next writes there.\n";

// The release job of README.md, as the tool's own examples.
static const char* const kExamples[] = {
    "pack rel/kelvo.pkg files/KelvoSetup.exe files/dovRelsvc.exe files/data.ini --end",
    "build setup.exe rel/kelvo.pkg rel/setup.exe",
    "check --strict rel/setup.exe",
    "check --json rel/setup.exe > check.json",
    "unpack rel/setup.exe /tmp/look",
    NULL,
};

static void PrintUsage(FILE* pStream)
{
    fprintf(pStream, "usage: %s <command> [arguments]\n\n", g_szToolName);
    fputs(kUsage, pStream);
    fputs("\nexamples:\n", pStream);
    for (const char* const* ppsz = kExamples; *ppsz != NULL; ++ppsz)
        fprintf(pStream, "  %s %s\n", g_szToolName, *ppsz);
}

// Whether a line of the usage text starts the command's own entry.
static int IsEntryOf(const char* pszLine, const char* pszEnd, const char* pszCommand)
{
    size_t cchCommand = strlen(pszCommand);
    return strncmp(pszLine, "  ", 2) == 0 && strncmp(pszLine + 2, pszCommand, cchCommand) == 0 &&
           (pszLine[2 + cchCommand] == ' ' || pszLine + 2 + cchCommand == pszEnd);
}

// The command's own lines of the usage text: its synopses, and with
// bWhole the lines that describe it.
static void PrintEntry(FILE* pStream, const char* pszCommand, int bWhole)
{
    int bIn = 0;
    for (const char* pszLine = kUsage; *pszLine != '\0';) {
        const char* pszEnd = strchr(pszLine, '\n');
        int cch = (int)(pszEnd - pszLine);
        if (IsEntryOf(pszLine, pszEnd, pszCommand)) {
            fprintf(pStream, "usage: %s %.*s\n", g_szToolName, cch - 2, pszLine + 2);
            bIn = 1;
        } else if (bIn && bWhole && strncmp(pszLine, "      ", 6) == 0) {
            fprintf(pStream, "%.*s\n", cch, pszLine);
        } else {
            bIn = 0;
        }
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
    PrintEntry(stderr, pszCommand, 0);
    fprintf(stderr, "%s --help describes every command.\n", g_szToolName);
    return TOOL_USAGE;
}

int g_bToolQuiet;

namespace
{

const ToolCommand* FindCommand(const char* pszName)
{
    for (const ToolCommand* pCmd = kCommands; pCmd->pszName != NULL; ++pCmd) {
        if (strcmp(pszName, pCmd->pszName) == 0)
            return pCmd;
    }
    return NULL;
}

int NoSuchCommand(const char* pszName)
{
    fprintf(stderr, "%s: there is no command \"%s\"; the commands are", g_szToolName, pszName);
    for (const ToolCommand* pCmd = kCommands; pCmd->pszName != NULL; ++pCmd)
        fprintf(stderr, " %s", pCmd->pszName);
    fprintf(stderr, ".\n%s --help describes every command.\n", g_szToolName);
    return TOOL_USAGE;
}

int PrintHelpOf(const char* pszCommand)
{
    if (FindCommand(pszCommand) == NULL)
        return NoSuchCommand(pszCommand);
    PrintEntry(stdout, pszCommand, 1);
    printf("%s --help describes every command and what they share.\n", g_szToolName);
    return TOOL_OK;
}

// The arguments after "--": operands, whatever they look like. Sorted, for
// the commands' many questions.
std::vector<const char*> s_operands;

// Options every command takes the same way: --help, --quiet where there is
// progress to silence, --opt=value split in two, and "--". The arguments
// stay main's own strings (the Windows edge finds a source's wide name by
// its pointer).
int PrepareArguments(const ToolCommand* pCmd, int argc, char** argv, std::vector<char*>* pArgs)
{
    static char s_szCodePage[] = "--codepage";
    static char s_szOffset[] = "--offset";
    int bQuietTaken = pCmd->bQuiet;
    for (int i = 0; i < argc; ++i) {
        char* pszArg = argv[i];
        if (strcmp(pszArg, "--") == 0) {
            for (++i; i < argc; ++i) {
                s_operands.push_back(argv[i]);
                pArgs->push_back(argv[i]);
            }
            break;
        }
        if (strcmp(pszArg, "--help") == 0 || strcmp(pszArg, "-h") == 0)
            return PrintHelpOf(pCmd->pszName) == TOOL_OK ? -1 : TOOL_USAGE;
        if (bQuietTaken && (strcmp(pszArg, "--quiet") == 0 || strcmp(pszArg, "-q") == 0)) {
            g_bToolQuiet = 1;
        } else if (strncmp(pszArg, "--codepage=", 11) == 0) {
            pArgs->push_back(s_szCodePage);
            pArgs->push_back(pszArg + 11);
        } else if (strncmp(pszArg, "--offset=", 9) == 0) {
            pArgs->push_back(s_szOffset);
            pArgs->push_back(pszArg + 9);
        } else {
            pArgs->push_back(pszArg);
        }
    }
    std::sort(s_operands.begin(), s_operands.end());
    pArgs->push_back(NULL);
    return TOOL_OK;
}

// What a command printed on standard output must have reached it: a full
// disk or a closed pipe ends the command with its own failure.
int CheckStdout(const char* pszCommand, int nResult)
{
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout))
        return nResult;
    fprintf(stderr, "%s %s: standard output cannot be written (%s)\n", g_szToolName, pszCommand,
            strerror(errno != 0 ? errno : EIO));
    return TOOL_USAGE;
}

} // namespace

int tool_IsOperand(const char* pszArg)
{
    return std::binary_search(s_operands.begin(), s_operands.end(), pszArg);
}

int tool_IsOption(const char* pszArg)
{
    return pszArg[0] == '-' && pszArg[1] != '\0' && !tool_IsOperand(pszArg);
}

int tool_IsFlag(const char* pszArg, const char* pszFlag)
{
    return strcmp(pszArg, pszFlag) == 0 && !tool_IsOperand(pszArg);
}

int tool_Main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "%s: no command was given\n", g_szToolName);
        PrintUsage(stderr);
        return TOOL_USAGE;
    }
    const char* pszFirst = argv[1];
    if (strcmp(pszFirst, "help") == 0 && argc >= 3)
        return CheckStdout("help", PrintHelpOf(argv[2]));
    if (strcmp(pszFirst, "--help") == 0 || strcmp(pszFirst, "-h") == 0 ||
        strcmp(pszFirst, "help") == 0) {
        PrintUsage(stdout);
        return CheckStdout("help", TOOL_OK);
    }
    if (strcmp(pszFirst, "--version") == 0 || strcmp(pszFirst, "-V") == 0) {
        printf("%s %s\n", g_szToolName, KELVO_TOOL_VERSION);
        return CheckStdout("--version", TOOL_OK);
    }
    const ToolCommand* pCmd = FindCommand(pszFirst);
    if (pCmd == NULL && pszFirst[0] == '-') {
        fprintf(stderr, "%s: there is no option %s before the command\n", g_szToolName, pszFirst);
        fprintf(stderr, "%s --help describes every command.\n", g_szToolName);
        return TOOL_USAGE;
    }
    if (pCmd == NULL)
        return NoSuchCommand(pszFirst);
    std::vector<char*> args;
    int nResult = PrepareArguments(pCmd, argc - 2, argv + 2, &args);
    if (nResult == -1)
        return CheckStdout(pCmd->pszName, TOOL_OK);
    if (nResult != TOOL_OK)
        return nResult;
    nResult = pCmd->pfnRun((int)args.size() - 1, args.data());
    return CheckStdout(pCmd->pszName, nResult);
}

int main(int argc, char** argv)
{
    tos_KeepArguments(argc, argv);
    return tool_Main(argc, argv);
}
