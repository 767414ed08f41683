// The catalogue's rows: every error number with its name, layers, meaning,
// what to do and log lines; the layers as the error page shows them; what to
// do about each ending that is not a failed install; and the inner
// installer's exit codes that say more than "failed" (crashes, Windows
// Installer's codes). The tools' messages, setuptool log and docs/errors.md
// read them, so a text is written here once. Only the tools link this file.
#include "error_catalogue.h"

#include "client_registry.h"
#include "install_sequence.h"
#include "run_log_lines.h"

namespace
{

const char kProgrammingFault[] = "A programming fault; report it.";
const char kNoProgram[] = "The packed file is no program, or one for another processor (err 193 "
                          "or 216 is a bad format): pack the right build.";
const char kTruncated[] = "The package is truncated: build the setup again.";

// The inner installer is the client's own, outside these launchers, and
// keeps its log where its makers chose.
#define INSTALLER_LOG                                                                              \
    "Where " SETUP_INNER_INSTALLER " logs is not a place that we know of (the launchers do not "   \
    "tell it): ask the client's makers. An installer built on Windows Installer logs only when "   \
    "logging is on (msiexec /l*v, or the Logging policy), into %TEMP% of the account that ran it " \
    "(C:\\Windows\\Temp for SYSTEM)."

const unsigned kPackage = ERR_LAYER_PACKAGE;
const unsigned kLauncher = ERR_LAYER_LAUNCHER;
const unsigned kVrf = ERR_LAYER_VRF;
const unsigned kValue = ERR_LAYER_CUSTOM_VALUE;
const unsigned kSet = ERR_LAYER_CUSTOM_SET;
const unsigned kFileUtil = ERR_LAYER_FILE_UTIL;

// clang-format off
#define ROW(name, layers, meaning, todo, lines) {name, #name, layers, meaning, todo, lines}

const ErrorEntry kEntries[] = {
    ROW(PKG_ERR_NULL_ARG, kPackage,
        "a path argument is missing",
        kProgrammingFault, ""),
    ROW(PKG_ERR_PATH_TOO_LONG, kPackage,
        "a path is too long: 260 characters or more (on Linux, 4096 bytes)",
        "Use a shorter folder for the setup, the package or the files packed.", ""),
    ROW(PKG_ERR_NO_SOURCE, kPackage,
        "no file is there (a folder is no file)",
        "Check the path; for a launcher, run it from a local folder.",
        "`utl_FileUnpack: szSrcAbsFile = ...` (the launcher's own file, or a file to pack)"),
    ROW(PKG_ERR_NO_PACKAGE, kPackage,
        "there is no package file to append to",
        "A programming fault in a packing script: the first record starts a new package.", ""),
    ROW(PKG_ERR_DELETE_PACKAGE, kPackage,
        "the existing package file cannot be deleted",
        "Close whatever holds the package open.",
        "`stp_UtlPack...`"),
    ROW(PKG_ERR_SIZE, kPackage,
        "the file size cannot be read, is 4 GiB or more, changed while the file was packed or built "
        "into a setup, or the offset lies outside the file",
        "The setup is truncated, or larger than a setup may be. When packing or building (\"F\" "
        "changed while it was packed, or while the setup was built): F grew or shrank after it "
        "was measured (a build step still writing it): run again once it is complete.",
        "`dwSizeHigh = ... dwSizeLow = ...`; the packer's `... changed while it was packed: ...`"),
    ROW(PKG_ERR_OPEN, kPackage,
        "a file cannot be opened",
        "The system error in the log line before it tells why (5 access denied, 32 in use): "
        "close what holds the file, or fix its permissions.",
        "`utl_OpenFileForRead failed with err E` / `utl_NewOrOpenFileForWrite failed with err E`"),
    ROW(PKG_ERR_WRITE, kPackage,
        "writing failed",
        "Free space on C: (the work directory) or on the package's drive, then run again; "
        "nothing is started after a failed extraction.",
        "`utl_FileUnpack: WriteFile failed with err. E.` (E 112: the disk is full, also for a "
        "write that lands fewer bytes than asked), or the packer's `WriteFile 1/2` / "
        "`MixAndWrite 1/2 failed with err E`"),
    ROW(PKG_ERR_NO_DEST_DIR, kPackage,
        "the destination directory does not exist",
        "For setuptool unpack, the folder could not be made: check its parent and permissions.",
        ""),
    ROW(PKG_ERR_READ_HEADER, kPackage,
        "there are no 17 header bytes at the offset",
        "The setup carries no package behind its image (a bare launcher, or a setup cut short): "
        "build it again, or give the right --offset.", ""),
    ROW(PKG_ERR_BAD_HEADER, kPackage,
        "no package header at the offset",
        "The file is not a setup or package, or it was damaged; --offset takes decimal or 0x "
        "hexadecimal.", ""),
    ROW(PKG_ERR_NAME_LENGTH, kPackage,
        "a record's name length is unreadable or too long (64 bytes at most, and the "
        "destination path plus name below 260)",
        "The package is damaged, or (signed setups) its certificate table is not where the "
        "image's header says, so it was read as a record: sign the setup again as built. When "
        "packing: a record name holds at most 64 bytes; rename the file.",
        "`dwBufDataLen = ... dwCurFileNameLen = ...`"),
    ROW(PKG_ERR_DATA_LENGTH, kPackage,
        "a record's data length is unreadable",
        kTruncated, ""),
    ROW(PKG_ERR_RECORD_OVERRUN, kPackage,
        "a record runs past the end of the package",
        "The setup is truncated or damaged, or a signature was appended that the image's header "
        "does not point to: build and sign it again.",
        "`dwCurTotalLen = ...`"),
    ROW(PKG_ERR_READ_NAME, kPackage,
        "a record's name cannot be read in full",
        kTruncated, ""),
    ROW(PKG_ERR_OPEN_DEST, kPackage,
        "a record's name is refused or its file cannot be opened for writing",
        "A name that climbs out of the folder, names a device or a stream is refused (a "
        "tampered package); otherwise a file in the work directory is in use or read-only. The "
        "tools also refuse a name their code page cannot read (kelvo-setuptool takes ASCII only "
        "unless told --codepage 1252 or 936), and a file that is a link or no plain file. When "
        "packing: rename the file (docs/setuptool.md has the rules for record names).",
        "`record name refused: ...`, or `szDstAbsFile = ...`"),
    ROW(PKG_ERR_READ_DATA, kPackage,
        "a record's data cannot be read in full",
        "The setup is truncated or its file cannot be read.", ""),
    ROW(VRF_ERR_INI_SIZE, kVrf,
        "the INI file's size could not be obtained (missing or unreadable)",
        "Check that the INI file is there and can be read.", ""),
    ROW(VRF_ERR_INI_LARGE, kVrf,
        "the INI file is too large",
        "Keep the INI file within the size a .vrf file covers: 7820 bytes, 7852 for a generic "
        "pair.", ""),
    ROW(VRF_ERR_INI_OPEN, kVrf,
        "the INI file could not be opened for reading",
        "Close what holds it; check the permissions.", ""),
    ROW(VRF_ERR_CREATE, kVrf,
        "the verification file could not be created",
        "Check the folder's permissions and that the .vrf file is not read-only.", ""),
    ROW(VRF_ERR_WRITE, kVrf,
        "writing the verification file failed",
        "Free disk space; check the permissions.", ""),
    ROW(VRF_ERR_SALT, kVrf,
        "the salt could not be built",
        kProgrammingFault, ""),

    ROW(LAUNCH_ERR_WORK_DIR, kLauncher,
        "the work directory C:\\tmp\\KelvoSetup0 cannot be prepared",
        "C:\\tmp must be a plain folder on C: (not a junction, link or mounted volume): make it "
        "one. A C:\\tmp\\KelvoSetup0 that cannot be set aside: end the program that holds a "
        "file in it, or remove it by hand. Then run the setup again.",
        "`PrepareWorkDir: C:\\tmp is a link or cannot be held; nothing is changed.`; or "
        "`PrepareWorkDir: C:\\tmp\\KelvoSetup0 cannot be set aside, err E.` (a folder in which "
        "another program holds a file open, or a link that cannot be removed); or `... cannot "
        "be made, err E.` / `... appeared while it was being made, err E.` / `... is not the "
        "directory that was made; nothing goes into it.` / `... cannot be protected, err E.`"),
    ROW(LAUNCH_ERR_OWN_SIZE, kLauncher,
        "the launcher's own file carries no package behind its image (it is 307200 bytes or "
        "shorter, 4 GiB or longer, or cannot be sized)",
        "The setup file is truncated or is a bare launcher image: download or build it again "
        "(setuptool check tells).",
        "the launcher's own path, when no file answers to it under its ANSI name; "
        "`CheckOwnSize: <path> cannot be read, err E.` when the file cannot be opened or sized"),
    ROW(LAUNCH_ERR_SETUP_FLAG, kLauncher,
        "setup-lite cannot write \"" SETUP_FLAG_VALUE "\" under HKLM\\" SETUP_FLAG_KEY,
        "Run as administrator; check that the registry key is not locked by policy.", ""),
    ROW(LAUNCH_ERR_FLAG_NOT_SET, kLauncher,
        "setup-lite: the inner installer ended without setting \"" SETUP_FLAG_VALUE "\"",
        "The inner installer ended without setting the flag, its report of success: it failed "
        "in a way its exit code does not tell, or it is not the installer that sets the flag. "
        INSTALLER_LOG,
        "`setup-process is out.`, `setupflag is not set.`"),
    ROW(LAUNCH_ERR_NO_HELPER, kLauncher,
        "the package has no companion " SETUP_COMPANION " (setup) or registration tool "
        LITE_REGISTRATION_TOOL " (setup-lite)",
        "A release fault: pack the missing program in front of any end record; setuptool check "
        "names it before a setup is published.", ""),
    ROW(LAUNCH_ERR_NO_INSTALLER, kLauncher,
        "the package has no inner installer " SETUP_INNER_INSTALLER,
        "A release fault: pack it in front of any end record; setuptool check names it before a "
        "setup is published.", ""),
    ROW(LAUNCH_ERR_HELPER_START, kLauncher,
        "the system would not start the companion or the registration tool",
        kNoProgram,
        "`StartExtracted: " SETUP_COMPANION " cannot be started, err E.` (or `" LITE_REGISTRATION_TOOL "`)"),
    ROW(LAUNCH_ERR_INSTALLER_START, kLauncher,
        "the system would not start the inner installer",
        kNoProgram,
        "`StartExtracted: " SETUP_INNER_INSTALLER " cannot be started, err E.`"),
    ROW(LAUNCH_ERR_INSTANCE_OBJECTS, kLauncher,
        "the exit code of a start that cannot make the objects that keep launchers apart (the "
        "event in the launchers' private namespace, or the namespace itself)",
        "The line before the refusal names the object and the system's error: restart the PC "
        "(an object of the system's that was left behind goes with it), then run again.",
        "`HoldInstanceObjects: the private namespace KelvoSetup, bounded by Administrators, cannot "
        "be made or opened, err E.` or `HoldInstanceObjects: the event KelvoSetup\\" 
        "evnt_Kelvo_stpDamon in the launchers' private namespace cannot be made, err E.`, then "
        "`start refused: the launchers' single-instance objects cannot be made, err E.`"),

    ROW(UTL_ERR_NO_FILE, kFileUtil | kValue,
        "the file to be changed does not exist (for a customisation value, KelvoCustom.ini in "
        "the folder given)",
        "Check the path: for a customisation value, name the folder that holds "
        "KelvoCustom.ini.", ""),
    ROW(CUSINI_ERR_NOT_VERIFIED, kValue,
        "the customisation pair does not verify; nothing was changed",
        "The INI file was edited by hand or damaged: restore it, or write a fresh .vrf with "
        "vrf write if the change was intended.", ""),
    ROW(CUSINI_ERR_INI_WRITE, kValue,
        "writing the value failed; KelvoCustom.ini was moved aside to KelvoCustom.ini.lzj unless "
        "that name was taken",
        "Check the permissions; restore the file from the .lzj copy.", ""),
    ROW(CUSINI_ERR_NULL_ARG, kValue,
        "no section, key or value was given, or the section or key is empty; nothing was changed",
        "Give a section and a key that are not empty, and a value.", ""),
    ROW(CUSINI_ERR_VRF_WRITE, kValue,
        "the value was written, but writing the verification file failed",
        "Check the folder's permissions and disk space, then seal the pair with vrf write "
        "--custom on the folder: setting the same value again changes nothing.", ""),
    ROW(CUSSET_ERR_NO_PATH, kSet,
        "the program's directory cannot be found, or the pair's paths are too long",
        "Run the program from a folder with a shorter path.", ""),
    ROW(CUSSET_ERR_NO_INI, kSet,
        "there is no KelvoCustomSet.ini",
        "Put the customisation set's KelvoCustomSet.ini and .vrf beside the program.", ""),
    ROW(CUSSET_ERR_NO_VRF, kSet,
        "there is no KelvoCustomSet.vrf",
        "Put the .vrf file that was written with KelvoCustomSet.ini beside it, or write one "
        "with vrf write --generic.", ""),
    ROW(CUSSET_ERR_NOT_VERIFIED, kSet,
        "KelvoCustomSet.ini does not verify against KelvoCustomSet.vrf",
        "The INI file was edited or the .vrf belongs to another: restore the pair, or write a "
        "fresh .vrf with vrf write --generic if the change was intended.", ""),
    ROW(CUSSET_ERR_BAD_LENGTH, kSet,
        "\"Version\" in section \"Common\" is not exactly 11 characters long",
        "Correct the version (as in A1.2B-3456C), then write a fresh .vrf.", ""),
    ROW(CUSSET_ERR_NO_DASH, kSet,
        "\"Version\" in section \"Common\" holds no \"-\"",
        "Correct the version (as in A1.2B-3456C), then write a fresh .vrf.", ""),
    ROW(UTL_ERR_GET_ATTRIBUTES, kFileUtil,
        "the file's attributes cannot be read",
        "Check the permissions on the file and its folder.", ""),
    ROW(UTL_ERR_SET_ATTRIBUTES, kFileUtil,
        "the file's attributes cannot be set",
        "Check the permissions on the file; close a program that holds it.", ""),
    ROW(UTL_ERR_NULL_PATH, kFileUtil,
        "no path was given",
        kProgrammingFault, ""),
    ROW(PKG_ERR_DAMAGED, kPackage,
        "the setup file is damaged: its package does not match the seal that setuptool build "
        "wrote, ends before the sealed length, or the seal cannot be read",
        "Download or copy the setup again; nothing of it was started. If a fresh copy is "
        "refused too, setuptool check on the file that was published tells whether it was "
        "damaged before it was published: build it again.",
        "`" RUN_LOG_DAMAGED "its seal expects XXH3 E, the package has F.` (or `its package is N "
        "bytes, its seal says M.`, or `its seal at 307136 cannot be read.`), then the box `"
        RUN_DAMAGED_BOX_TEXT "` (without a desktop, its text in the log); setuptool list, "
        "unpack and check: `does not match its seal (...)`"),

};

// The tools' advice where the launchers' would not fit: a tool writes no
// log, has no work directory and reads the system's reason into its message.
struct ToolAdvice {
    uint32_t dwNumber;
    const char* pszWhatToDo;
};
const ToolAdvice kToolAdvice[] = {
    {PKG_ERR_NO_SOURCE, "Check the path."},
    {PKG_ERR_DELETE_PACKAGE, "Check the permissions of the file and its folder, and close what "
     "holds it open; the file is as it was."},
    {PKG_ERR_OPEN, "The system's reason tells why: fix the permissions, or close what holds the "
     "file."},
    {PKG_ERR_WRITE, "Free space where the file is written, then run again; nothing half written "
     "was put in place."},
    {PKG_ERR_NO_DEST_DIR, "Check the folder's parent and its permissions."},
    {PKG_ERR_NAME_LENGTH, "The package is damaged, or (signed setups) its certificate table is "
     "not where the image's header says, so it was read as a record: sign the setup again as "
     "built."},
    {PKG_ERR_OPEN_DEST, "A name that climbs out of the folder, names a device or a stream is "
     "refused (a tampered package), and so is a name the code page cannot read (kelvo-setuptool "
     "takes ASCII only unless told --codepage 1252 or 936); a file in the folder under a "
     "record's name is replaced only when it is a plain file of one name that may be written."},
};

const ErrorLayerInfo kLayers[] = {
    {ERR_LAYER_LAUNCHER, ERR_EXIT_NUMBER, "The launchers",
     "A launcher whose install sequence failed writes `install failed with Err N.` to the setup "
     "log."},
    {ERR_LAYER_PACKAGE, ERR_EXIT_NUMBER, "The package",
     "Shown in the setup log after an extraction failed (the unpacker's number is passed on), "
     "in `stp_UtlFile...` as `utl_FileUnpack:Err: N.`, and by `setuptool pack`, `list`, "
     "`unpack` and `check`, which then exit with 1."},
    {ERR_LAYER_VRF, ERR_EXIT_TOOL, "Verification files",
     "Shown by `setuptool vrf write`, and by `custom set` when the value was written but its "
     "pair could not be sealed."},
    {ERR_LAYER_CUSTOM_VALUE, ERR_EXIT_TOOL, "Customisation values",
     "The results of `setuptool custom set` (and of the library's safe change of a "
     "customisation value); 0 is done. 1001 is the file "
     "utilities' number for the same failure: here the file is `KelvoCustom.ini`."},
    {ERR_LAYER_CUSTOM_SET, ERR_EXIT_TOOL, "The customisation-set version",
     "Why `setuptool custom version` finds no customisation-set version beside the program "
     "(it prints the meaning, not the number)."},
    {ERR_LAYER_FILE_UTIL, ERR_EXIT_NONE, "Clearing the read-only attribute",
     "Results of the file utility that clears a file's read-only attribute; no launcher flow "
     "or tool command shows them, but a caller's log may. 1001 means the same as for a "
     "customisation value: the file to be changed does not exist."},
};
#undef ROW
// clang-format on

// 1618 has three causes, and deployment tools retry them all the same way.
const char kBusy[] =
    "Something that installs is still running on this PC: another launcher (setup or "
    "setup-lite), the customisation-update tool, or the inner installer of an earlier run that "
    "was stopped (a deployment agent's time-out ends the launcher, not its installer); the "
    "refusal's line names it (an installer with its process id). Wait until it has ended and run "
    "again, as deployment tools do with 1618; end an installer (taskkill /pid <id>) only when it "
    "hangs.";

struct EndingAdvice {
    RunOutcome eOutcome;
    const char* pszWhatToDo;
};

const EndingAdvice kEndingAdvice[] = {
    {RUN_ANOTHER_LAUNCHER, kBusy},
    {RUN_UPDATE_TOOL_RUNNING, kBusy},
    {RUN_NOT_ADMIN,
     "Run the setup as an administrator (Run as administrator), or from the deployment tool as "
     "SYSTEM. A launcher without administrator rights cannot write its log, so its exit code "
     "may be all there is."},
    {RUN_LOW_DISK_SPACE,
     "Free space on C: (a launcher needs 50 MB there to start, and room for the package's files "
     "in C:\\tmp\\KelvoSetup0: about the setup file's size), then run again."},
    {RUN_NO_INSTANCE_EVENT,
     "The objects that keep launchers apart (a private namespace only administrators may bound, "
     "and an event in it) could not be made; the line before the refusal names the object and "
     "the system's error. Restart the PC, which ends whatever holds them, then run again; "
     "nothing was extracted or started."},
    {RUN_OWN_FILE_REPLACED,
     "Another file was put at the setup's path as it started (the lines name both files): do not "
     "run this file again. Copy the setup again from its source into a folder only "
     "administrators may change, and run it from there; nothing was extracted."},
    {RUN_PASSWORD_NOT_GIVEN,
     "The installed client is protected by its uninstall password, and the dialog was closed, "
     "cancelled or given a wrong password three times: ask the user, run the setup again where "
     "the user can type the password, or take the client's protection off first. Nothing was "
     "extracted or started."},
    {RUN_PASSWORD_WITHOUT_DESKTOP,
     "The installed client is protected by its uninstall password, and nobody can type it where "
     "the launcher ran (no interactive desktop, as for a deployment agent running as SYSTEM): "
     "run the upgrade in the user's session (the deployment tool's \"allow the user to "
     "interact\" or the like), or take the client's protection off first. Nothing was "
     "extracted or started."},
};

#define CRASHED                                                                                    \
    "The inner installer crashed. Windows' event log (Windows Logs, Application: an "              \
    "\"Application Error\" event of " SETUP_INNER_INSTALLER ") names the module it crashed in: "   \
    "send it to the client's makers with the installer's own log. Where the module is one of "     \
    "security software, run again with it paused, or ask its maker."
#define CANNOT_LOAD                                                                                \
    "The inner installer could not start: what it needs is missing or of another version. "        \
    "Install what the client needs (its release notes name the runtimes), or build the setup "     \
    "again with every file the installer loads."

// In ascending order: Windows Installer's codes, then the exception codes.
const InstallerCode kInstallerCodes[] = {
    {1602, "ERROR_INSTALL_USEREXIT", "the user cancelled the installation",
     "Ask the user, or run again."},
    {1603, "ERROR_INSTALL_FAILURE", "a fatal error during installation",
     "A step inside the installer failed: its own log says which (in a Windows Installer log, "
     "the lines before \"return value 3\")."},
    {1618, "ERROR_INSTALL_ALREADY_RUNNING", "another installation is already in progress",
     "Wait until the other installation (Windows Update, another installer) has ended, then run "
     "again."},
    {1619, "ERROR_INSTALL_PACKAGE_OPEN_FAILED", "the installation package could not be opened",
     "A file the installer needs is missing from the package or damaged: build the setup again."},
    {1620, "ERROR_INSTALL_PACKAGE_INVALID", "the installation package is not valid",
     "A file the installer needs is damaged: build the setup again."},
    {1625, "ERROR_INSTALL_PACKAGE_REJECTED", "the installation is forbidden by system policy",
     "A policy of this PC forbids the install: ask its administrators."},
    {1633, "ERROR_INSTALL_PLATFORM_UNSUPPORTED",
     "the installation package is not supported by this processor type",
     "Use the setup built for this Windows (32- or 64-bit)."},
    {1638, "ERROR_PRODUCT_VERSION", "another version of this product is already installed",
     "Uninstall the installed version first, or use the setup that upgrades it."},
    {0x40010004, "DBG_TERMINATE_PROCESS", "a debugger ended it", "Run again without the debugger."},
    {0x80000003, "STATUS_BREAKPOINT",
     "a crash at a breakpoint (a debug build's assertion, or a check that failed)", CRASHED},
    {0xC0000005, "STATUS_ACCESS_VIOLATION",
     "a crash: an access violation, a read or write of memory it may not touch", CRASHED},
    {0xC0000006, "STATUS_IN_PAGE_ERROR",
     "its own file could not be read while it ran (a network drive that went away, a failing "
     "disk)",
     "Run the setup from a local disk; check the disk."},
    {0xC0000017, "STATUS_NO_MEMORY", "it ran out of memory",
     "Close other programs, or give the PC more memory, then run again."},
    {0xC000001D, "STATUS_ILLEGAL_INSTRUCTION",
     "a crash: an instruction this processor does not have (a build for newer processors)",
     CRASHED},
    {0xC000007B, "STATUS_INVALID_IMAGE_FORMAT",
     "it, or a DLL it loads, is no program for this Windows (32- and 64-bit files mixed, or a "
     "damaged file)",
     CANNOT_LOAD},
    {0xC0000094, "STATUS_INTEGER_DIVIDE_BY_ZERO", "a crash: an integer division by zero", CRASHED},
    {0xC0000096, "STATUS_PRIVILEGED_INSTRUCTION",
     "a crash: an instruction that programs may not run", CRASHED},
    {0xC00000FD, "STATUS_STACK_OVERFLOW",
     "a crash: a stack overflow (most often a function that calls itself without end)", CRASHED},
    {0xC0000135, "STATUS_DLL_NOT_FOUND", "a DLL it needs was not found, so it could not start",
     CANNOT_LOAD},
    {0xC0000139, "STATUS_ENTRYPOINT_NOT_FOUND",
     "a DLL it loads lacks a function it needs (a DLL of another version, or a Windows too old "
     "for it)",
     CANNOT_LOAD},
    {0xC000013A, "STATUS_CONTROL_C_EXIT", "it was ended by Ctrl+C, or its console was closed",
     "Run again, and let it run to its end."},
    {0xC0000142, "STATUS_DLL_INIT_FAILED",
     "a DLL it loads failed to start (as when it runs where it cannot have a desktop)",
     CANNOT_LOAD},
    {0xC0000374, "STATUS_HEAP_CORRUPTION",
     "a crash: heap corruption, it damaged its own memory and Windows ended it", CRASHED},
    {0xC0000409, "STATUS_STACK_BUFFER_OVERRUN",
     "a crash: it found a buffer on its stack overrun, or stopped at once on a fatal error of "
     "its own (fail-fast)",
     CRASHED},
    {0xC0000420, "STATUS_ASSERTION_FAILURE", "a crash: an assertion of its own failed", CRASHED},
    {0xE06D7363, "a C++ exception", "a crash: a C++ exception that nothing caught", CRASHED},
};

} // namespace

const ErrorEntry* err_Find(uint32_t dwNumber)
{
    for (const ErrorEntry& entry : kEntries) {
        if (entry.dwNumber == dwNumber)
            return &entry;
    }
    return NULL;
}

const char* err_Meaning(uint32_t dwNumber)
{
    const ErrorEntry* pEntry = err_Find(dwNumber);
    return pEntry ? pEntry->pszMeaning : "an error number this tool does not know";
}

const char* err_WhatToDo(uint32_t dwNumber)
{
    const ErrorEntry* pEntry = err_Find(dwNumber);
    return pEntry ? pEntry->pszWhatToDo : "";
}

const char* err_ToolWhatToDo(uint32_t dwNumber)
{
    for (const ToolAdvice& advice : kToolAdvice) {
        if (advice.dwNumber == dwNumber)
            return advice.pszWhatToDo;
    }
    return err_WhatToDo(dwNumber);
}

uint32_t err_LauncherExitCode(uint32_t dwNumber)
{
    const ErrorEntry* pEntry = err_Find(dwNumber);
    if (pEntry == NULL)
        return 0;
    for (const ErrorLayerInfo& layer : kLayers) {
        if ((pEntry->uLayers & layer.uLayer) != 0 && layer.eExit == ERR_EXIT_NUMBER)
            return dwNumber;
    }
    return 0;
}

const ErrorEntry* err_Entries(size_t* pcEntries)
{
    *pcEntries = sizeof kEntries / sizeof kEntries[0];
    return kEntries;
}

const ErrorLayerInfo* err_Layers(size_t* pcLayers)
{
    *pcLayers = sizeof kLayers / sizeof kLayers[0];
    return kLayers;
}

const char* err_EndingWhatToDo(RunOutcome eOutcome)
{
    for (const EndingAdvice& advice : kEndingAdvice) {
        if (advice.eOutcome == eOutcome)
            return advice.pszWhatToDo;
    }
    if (RunOutcomePassesCodeOn(eOutcome))
        return "";
    uint32_t dwCode = RunOutcomeExitCode(eOutcome, 0);
    for (const EndingAdvice& advice : kEndingAdvice) {
        if (RunOutcomeExitCode(advice.eOutcome, 0) == dwCode)
            return advice.pszWhatToDo;
    }
    return "";
}

const InstallerCode* err_FindInstallerCode(uint32_t dwCode)
{
    for (const InstallerCode& code : kInstallerCodes) {
        if (code.dwCode == dwCode)
            return &code;
    }
    return NULL;
}

const InstallerCode* err_InstallerCodes(size_t* pcCodes)
{
    *pcCodes = sizeof kInstallerCodes / sizeof kInstallerCodes[0];
    return kInstallerCodes;
}

const char* err_InstallerWhatToDo()
{
    return "The inner installer failed on its own: its log says why, its makers know its "
           "codes. " INSTALLER_LOG;
}

const char* err_InstallerLog()
{
    return INSTALLER_LOG;
}
