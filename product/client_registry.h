// What the installed client keeps in the registry, all of it under
// HKEY_LOCAL_MACHINE: the launchers read it, the demo installer writes it,
// the tests plant it, and scripts/client-registry reads the keys from here.
// Each key is one string literal (or literals joined), so that the scripts
// can take them from this file.
#pragma once

#define WINDOWS_UNINSTALL_ROOT "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"

// The installed client registers with Windows under this key...
#define CLIENT_UNINSTALL_KEY WINDOWS_UNINSTALL_ROOT "{5A0E3C71-2B64-4D8F-9E13-7C4B2A6D0F58}"
// ...and older clients under this one.
#define CLIENT_OLDER_UNINSTALL_KEY WINDOWS_UNINSTALL_ROOT "{8F27B4D0-61C3-4A9E-B5D2-03E9C7A41B6F}"
#define CLIENT_DISPLAY_NAME_VALUE "DisplayName"

// The client's own key, and the key of the maker's older name, which also
// holds the inner installer's success flag.
#define CLIENT_REG_KEY "SOFTWARE\\Kelvo"
#define CLIENT_OLD_REG_KEY "SOFTWARE\\Qor\\Kelvo"

// The protection flag (a DWORD) and the stored password (a string).
#define CLIENT_PROTECTED_VALUE "Uninstall"
#define CLIENT_PASSWORD_VALUE "UninstallPwd"

// Set to 1 by the inner installer when the installation succeeded.
#define SETUP_FLAG_KEY CLIENT_OLD_REG_KEY
#define SETUP_FLAG_VALUE "SetupFlag"
