// Verified INI pairs: an INI file and a 256-byte .vrf file of the same base
// name, which holds 240 random bytes and the MD5 digest of the INI file's
// exact bytes, those random bytes, (for the customisation and uninstall
// kinds) a 32-byte icon block, and the pair salt. An INI file edited by hand,
// or a .vrf file copied from another pair, no longer verifies. Portable: the
// files are reached through cus_platform.h.
#pragma once

#include <stdint.h>

#include "error_numbers.h"

enum {
    VRF_FILE_SIZE = 256,
    VRF_NONCE_SIZE = 240,
    VRF_ICON_BLOCK_SIZE = 32,
    VRF_MAX_INI_SIZE = 7820,         // customisation and uninstall kinds
    VRF_MAX_GENERIC_INI_SIZE = 7852, // the generic kind, which has no icon block
    VRF_ICON_MIN_SIZE = 544,         // an icon file lends the 32 bytes at offset 512
    VRF_ICON_NAME_BUF = 261,
};

// The customisation pair "KelvoCustom.ini"/".vrf" and the uninstall pair
// "KelvoUninstallInfo.ini"/".vrf" in pszDir; with pszDir NULL in the "custom"
// directory beside the program. Nonzero when written.
int CusVrfWrite(int* pnError, const char* pszDir);
int UninstallVrfWrite(int* pnError, const char* pszDir);
// Any two paths, for example "KelvoCustomSet.ini" with "KelvoCustomSet.vrf".
int VrfWrite(const char* pszIniPath, const char* pszVrfPath, int* pnError);

// The two files of the customisation or the uninstall pair in pszDir, into
// buffers of CUS_PATH_BUF: 0 when a path does not fit.
int CusPairPaths(const char* pszDir, char* pszIni, char* pszVrf);
int UninstallPairPaths(const char* pszDir, char* pszIni, char* pszVrf);

// 1 when the pair verifies, else 0; nothing is logged. With bIncludeIcon and
// "CustomIcon" set in the INI file, the icon block comes from the icon file
// that "CusIconName" names (see ReadIconBlock).
int CusIniVerify(const char* pszDir, int bIncludeIcon);
int UninstallIniVerify(const char* pszDir);
int IniVerify(const char* pszIniPath, const char* pszVrfPath);

// The 32 bytes at offset 512 of a file of at least 544 bytes; 0, with abOut
// untouched, when the file is missing, a directory, too small or unreadable.
int ReadIconBlock(const char* pszIconPath, uint8_t abOut[VRF_ICON_BLOCK_SIZE]);

struct CusOptions {
    int customIcon;                      // "LogoOptions"/"CustomIcon"
    int silentInstall;                   // "OtherOptions"/"SilentInstall"
    int silentUpd;                       // "OtherOptions"/"SilentUpd"
    char cusIconName[VRF_ICON_NAME_BUF]; // "LogoOptions"/"CusIconName", untouched when unset
};

// Reads the options from pszDir\KelvoCustom.ini without verifying the pair;
// 0 when there is no such file.
int ReadCusOptions(const char* pszDir, CusOptions* pOut);
