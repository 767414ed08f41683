// The customisation-set version and display name, read at most once per
// process. Only a well-formed version is kept, and the display name with
// it, so the two never disagree and a pair that is fixed later is still
// read.
#include "custom_set.h"

#include <string.h>

static char s_szVersion[CUSSET_VERSION_LEN + 1];
static char s_szDisplayName[CUSSET_DISPLAY_NAME_LEN + 1];

const char* GetCustomSetVersion()
{
    if (s_szVersion[0] != '\0')
        return s_szVersion;
    char szVersion[CUSSET_VERSION_LEN + 1];
    if (ReadCustomSetVersion(szVersion) != CUSSET_OK)
        return NULL;
    FormatCustomSetDisplayName(szVersion, s_szDisplayName);
    memcpy(s_szVersion, szVersion, sizeof s_szVersion);
    return s_szVersion;
}

const char* GetCustomSetDisplayName()
{
    if (s_szVersion[0] == '\0')
        GetCustomSetVersion();
    return s_szDisplayName[0] != '\0' ? s_szDisplayName : NULL;
}
