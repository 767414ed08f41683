// The install sequence both launchers run once their package is extracted:
// the programs each starts from its work directory, in the order it starts
// them, and the error numbers the sequence fails with. setuptool check looks
// for the same names among a package's records. Portable: no Windows
// headers, so that both tools can include it.
#pragma once

// setup starts the companion first ("-setUpdInfo", hidden), then the inner
// installer; setup-lite starts the registration tool first where no client
// is installed yet, then the inner installer.
#define SETUP_COMPANION "dovRelsvc.exe"
#define SETUP_INNER_INSTALLER "KelvoSetup.exe"
#define LITE_REGISTRATION_TOOL "KelvoRegister.exe"

enum {
    LAUNCH_ERR_WORK_DIR = 351,
    LAUNCH_ERR_OWN_SIZE = 352,
    LAUNCH_ERR_NO_HELPER = 355, // the companion (setup) or the registration tool (lite)
    LAUNCH_ERR_NO_INSTALLER = 356,
    LAUNCH_ERR_HELPER_START = 357, // the shell would not start the companion or the tool
    LAUNCH_ERR_INSTALLER_START = 358,
};
