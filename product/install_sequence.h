// The install sequence both launchers run once their package is extracted:
// the programs each starts from its work directory, in the order it starts
// them; the numbers the sequence fails with are in error_numbers.h.
// setuptool check looks for the same names among a package's records.
// Portable and includes nothing, so that every layer can take the names.
#pragma once

// setup starts the companion first ("-setUpdInfo", hidden), then the inner
// installer; setup-lite starts the registration tool first where no client
// is installed yet, then the inner installer.
#define SETUP_COMPANION "dovRelsvc.exe"
#define SETUP_INNER_INSTALLER "KelvoSetup.exe"
#define LITE_REGISTRATION_TOOL "KelvoRegister.exe"
