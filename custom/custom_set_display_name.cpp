// The client's display name, built from pieces of the customisation-set
// version. Pure code: no Windows headers.
#include "custom_set_display_name.h"

#include <stdio.h>
#include <string.h>

int FormatCustomSetDisplayName(const char* pszVersion, char szOut[CUSSET_DISPLAY_NAME_LEN + 1])
{
    szOut[0] = '\0';
    // The pieces are picked by position, so only a whole version has them.
    if (pszVersion == NULL || strlen(pszVersion) != CUSSET_VERSION_LEN)
        return 0;
    snprintf(szOut, CUSSET_DISPLAY_NAME_LEN + 1, "Kelvo PC %.3s (%.1s%.4s)", pszVersion + 1,
             pszVersion + 10, pszVersion + 6);
    return 1;
}
