// Prints what utl_GetCommonProgramFiles gives in a fresh process (its cache
// is process-wide), then sets "CommonProgramFiles" to Q:\Later and asks
// again, to show that the first answer is kept:
//   common-files-probe --set <value> | --unset
//   <first answer or (null)>
//   <second answer or (null)>
//   same|other
// The probe sets the variable in its own environment before the first call:
// a 64-bit process does not inherit it from its parent, since 64-bit Windows
// (and 64-bit Wine) set "CommonProgramFiles" anew in every 64-bit process.
#include "path_util.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc == 3 && strcmp(argv[1], "--set") == 0)
        SetEnvironmentVariableA("CommonProgramFiles", argv[2]);
    else if (argc == 2 && strcmp(argv[1], "--unset") == 0)
        SetEnvironmentVariableA("CommonProgramFiles", NULL);
    else
        return 2;
    const char* pszFirst = utl_GetCommonProgramFiles();
    printf("%s\n", pszFirst ? pszFirst : "(null)");
    SetEnvironmentVariableA("CommonProgramFiles", "Q:\\Later");
    const char* pszSecond = utl_GetCommonProgramFiles();
    printf("%s\n", pszSecond ? pszSecond : "(null)");
    printf("%s\n", pszFirst == pszSecond ? "same" : "other");
    return 0;
}
