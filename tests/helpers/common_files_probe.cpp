// What the elevated launcher makes of an environment its caller prepared:
// a standard user may set "CommonProgramFiles" and "SystemRoot" in their own
// HKCU\Environment, and an elevated program they start inherits them. The
// probe plants both (with "windir") in its own environment, since 64-bit
// Windows and 64-bit Wine set them anew in every 64-bit process, then runs
// the launcher's lookups and its password gate, which reads the verified
// pairs under Common Files and copies their backups from system32:
//   common-files-probe <planted folder>
//   <Common Files as the launcher takes it, or (null)>
//   <the same, asked again>
//   prompt=<what the password gate decided>
#include "password_gate.h"
#include "path_util.h"

#include <stdio.h>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::string planted = argv[1];
    SetEnvironmentVariableA("CommonProgramFiles", (planted + "\\Common Files").c_str());
    SetEnvironmentVariableA("SystemRoot", planted.c_str());
    SetEnvironmentVariableA("windir", planted.c_str());
    const char* pszFirst = utl_GetCommonProgramFiles();
    printf("%s\n", pszFirst ? pszFirst : "(null)");
    const char* pszSecond = utl_GetCommonProgramFiles();
    printf("%s\n", pszSecond ? pszSecond : "(null)");
    char szStoredPwd[STORED_PWD_BUF] = "";
    printf("prompt=%d\n", IsUninstallPrompt("setup", szStoredPwd));
    return 0;
}
