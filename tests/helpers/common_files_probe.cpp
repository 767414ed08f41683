// Prints what utl_GetCommonProgramFiles gives in a fresh process (its cache
// is process-wide), then sets "CommonProgramFiles" to Q:\Later and asks
// again, to show that the first answer is kept:
//   <first answer or (null)>
//   <second answer or (null)>
//   same|other
#include "path_util.h"

#include <stdio.h>

int main()
{
    const char* pszFirst = utl_GetCommonProgramFiles();
    printf("%s\n", pszFirst ? pszFirst : "(null)");
    SetEnvironmentVariableA("CommonProgramFiles", "Q:\\Later");
    const char* pszSecond = utl_GetCommonProgramFiles();
    printf("%s\n", pszSecond ? pszSecond : "(null)");
    printf("%s\n", pszFirst == pszSecond ? "same" : "other");
    return 0;
}
