// The catalogue's rows: every error number with its name, layers, meaning,
// what to do and log lines; and the layers as the error page shows them. The
// tools' messages and docs/errors.md read them, so a text is written here
// once. Only the tools link this file.
#include "error_catalogue.h"

#include "client_registry.h"
#include "install_sequence.h"

namespace
{

const char kProgrammingFault[] = "A programming fault; report it.";
const char kNoProgram[] = "The packed file is no program, or one for another processor (code 11 "
                          "is a bad format): pack the right build.";
const char kTruncated[] = "The package is truncated: build the setup again.";

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
        "The inner installer failed or crashed: read its own log.",
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
        "the shell would not start the companion or the registration tool",
        kNoProgram,
        "`StartExtracted: " SETUP_COMPANION " cannot be started, code C.` (or `" LITE_REGISTRATION_TOOL "`)"),
    ROW(LAUNCH_ERR_INSTALLER_START, kLauncher,
        "the shell would not start the inner installer",
        kNoProgram,
        "`StartExtracted: " SETUP_INNER_INSTALLER " cannot be started, code C.`"),

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
