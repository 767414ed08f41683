// setuptool custom: what support engineers need of the customisation data.
//   custom version                            the customisation-set version and
//                                             display name beside setuptool.exe
//   custom set <dir> <section> <key> <value>  changes one value of
//                                             KelvoCustom.ini in <dir>, keeping the
//                                             pair verified
#include "setuptool.h"
#include "error_catalogue.h"
#include "cus_ini_value.h"
#include "cus_platform.h"
#include "custom_set.h"
#include "vrf.h"

#include <stdio.h>
#include <string.h>

namespace
{

// The library says only that there is no version; the reason is read again
// for the engineer, with the directory that was looked in.
int NoVersion()
{
    char szVersion[CUSSET_VERSION_LEN + 1];
    int nStatus = ReadCustomSetVersion(szVersion);
    char szDir[CUS_PATH_BUF] = "";
    cus_ProgramDir(szDir, sizeof szDir);
    printf("no version in %s: %s\n", szDir, err_Meaning((uint32_t)nStatus));
    return TOOL_FAILED;
}

// The display name first: it reads the version itself when there is none yet.
int ShowVersion()
{
    const char* pszName = GetCustomSetDisplayName();
    const char* pszVersion = GetCustomSetVersion();
    if (pszName == NULL || pszVersion == NULL)
        return NoVersion();
    printf("version: %s\ndisplay name: %s\n", pszVersion, pszName);
    return TOOL_OK;
}

const char* SetResultText(int nResult)
{
    if (nResult == CUSINI_OK)
        return "the value has the requested text (it already had, or it was written and a "
               "fresh verification file produced)";
    return err_Meaning((uint32_t)nResult);
}

int SetValue(char** argv)
{
    int nResult = SetCusIniValue(argv[0], argv[1], argv[2], argv[3]);
    if (nResult >= VRF_ERR_INI_SIZE && nResult <= VRF_ERR_SALT)
        printf("result %d: the value was written, but no fresh verification file: %s\n", nResult,
               err_Meaning((uint32_t)nResult));
    else
        printf("result %d: %s\n", nResult, SetResultText(nResult));
    if (nResult == CUSINI_OK)
        return TOOL_OK;
    return tool_Fail("custom set", argv[0], NULL, (uint32_t)nResult, 0);
}

} // namespace

int cmd_Custom(int argc, char** argv)
{
    if (argc == 1 && strcmp(argv[0], "version") == 0)
        return ShowVersion();
    if (argc == 5 && strcmp(argv[0], "set") == 0)
        return SetValue(argv + 1);
    if (argc >= 1 && strcmp(argv[0], "version") == 0)
        return tool_WrongCommandLine("custom", "version takes nothing more");
    if (argc >= 1 && strcmp(argv[0], "set") == 0)
        return tool_WrongCommandLine("custom",
                                     "set takes a folder, a section, a key and a value, "
                                     "not %d arguments",
                                     argc - 1);
    return tool_WrongCommandLine("custom", "say version or set");
}
