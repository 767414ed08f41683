// Paths of the running program and of the system, and checks on names. Texts
// are in the system code page and are scanned a character at a time.
#include "path_util.h"
#include "file_util.h"
#include "log.h"
#include "reg_ini.h"
#include "win_functions.h"

#include <stdio.h>
#include <string.h>

static char s_szCommonFiles[UTL_PATH_BUF];

// In the Chinese code page the second byte of a double-byte character may be
// 0x5C or 0x7C, the backslash or the vertical bar; a byte-wise search would
// take it for a character of its own.
const char* utl_FindAnsiChar(const char* pszText, const char* pszSet, int bLast)
{
    const char* pszFound = NULL;
    for (const char* p = pszText; *p != '\0';) {
        if (IsDBCSLeadByte((BYTE)*p) && p[1] != '\0') {
            p += 2;
            continue;
        }
        if (strchr(pszSet, *p) != NULL) {
            pszFound = p;
            if (!bLast)
                break;
        }
        ++p;
    }
    return pszFound;
}

// Checks for texts that become file names. The two differ only in the tab
// and the apostrophe, which their callers treat differently.
int utl_IsValidFileName(const char* pszText)
{
    return utl_FindAnsiChar(pszText, "\\/:*?\"<>|\t", 0) == NULL ? 1 : 0;
}

int utl_IsValidFileName2(const char* pszText)
{
    return utl_FindAnsiChar(pszText, "\\/:*?\"<>|'", 0) == NULL ? 1 : 0;
}

// The slash is not a separator here.
char* utl_CutAtLastSeparator(char* pszPath, int bKeepSeparator)
{
    if (pszPath == NULL || pszPath[0] == '\0')
        return NULL;
    char* pszSlash = (char*)utl_FindAnsiChar(pszPath, "\\", 1);
    if (pszSlash == NULL)
        return NULL;
    pszSlash[bKeepSeparator ? 1 : 0] = '\0';
    return pszPath;
}

static int RunPathFailed(const char* pszKind, const char* pszDetail)
{
    char szLine[512]; // the longest kind text and a whole path
    snprintf(szLine, sizeof szLine, "getCurRunPath: %s%s", pszKind, pszDetail);
    utl_WriteModuleLog("UtlCommon", szLine, 0);
    return 0;
}

// Callers build the paths of files installed beside the program from it, so
// a path the system had to cut short is refused, not used.
int getCurRunPath(char* pszBuf, unsigned cbBuf, int bKeepSeparator)
{
    if (pszBuf == NULL || cbBuf == 0)
        return RunPathFailed("invalid paras.", "");

    memset(pszBuf, 0, cbBuf);
    DWORD cch = GetModuleFileNameA(NULL, pszBuf, cbBuf);
    if (cch == 0) {
        char szErr[32];
        snprintf(szErr, sizeof szErr, "%u.", (unsigned)GetLastError());
        return RunPathFailed("calling getModuleFileName failed with ErrNo ", szErr);
    }
    if (cch >= cbBuf) {
        pszBuf[cbBuf - 1] = '\0';
        return RunPathFailed("insufficient buffer -- ", pszBuf);
    }

    if (utl_CutAtLastSeparator(pszBuf, bKeepSeparator) == NULL)
        return RunPathFailed("lack of separator -- ", pszBuf);
    return 1;
}

// 0 when the system directory does not fit pszOut: it is refused, not cut.
static int ReadSystemDir(char* pszOut, UINT cbOut)
{
    UINT cch = GetSystemDirectoryA(pszOut, cbOut);
    return cch != 0 && cch < cbOut;
}

// By its full path, so that the search never looks in the directory the
// launcher was started from, where a planted copy could lie; and so are the
// libraries it needs: from the system directory alone where the system can
// be told so (Windows 8 on, and Vista and 7 with the update that added
// SetDefaultDllDirectories), else from the library's own folder first
// instead of the program's.
HMODULE utl_LoadSystemLibrary(const char* pszName)
{
    char szSystem[UTL_PATH_BUF], szPath[UTL_PATH_BUF];
    if (!ReadSystemDir(szSystem, sizeof szSystem) ||
        !utl_JoinPath(szPath, sizeof szPath, szSystem, pszName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return NULL;
    }
    int bSearchFlags =
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != NULL;
    return LoadLibraryExA(
        szPath, NULL, bSearchFlags ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

// What the system keeps in HKEY_LOCAL_MACHINE, which only administrators may
// change, else "Program Files\Common Files" on the Windows drive. Never the
// "CommonProgramFiles" variable: a standard user may set it in their own
// HKCU\Environment, and the elevated launcher would inherit it. A 32-bit
// program reads the registry's 32-bit view, so on 64-bit Windows it gets the
// x86 folder, as the variable gave it. The answer is cached, since the
// process cannot move it.
const char* utl_GetCommonProgramFiles()
{
    if (s_szCommonFiles[0] != '\0')
        return s_szCommonFiles;

    // A value too long for the cache, or not a full path, is not used.
    if (utl_ReadRegString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                          "CommonFilesDir", s_szCommonFiles, sizeof s_szCommonFiles - 1) &&
        s_szCommonFiles[1] == ':' && s_szCommonFiles[2] == '\\')
        return s_szCommonFiles;
    s_szCommonFiles[0] = '\0';

    char szWindows[UTL_PATH_BUF];
    if (!utl_GetWindowsDir(szWindows, sizeof szWindows))
        return NULL;
    snprintf(s_szCommonFiles, sizeof s_szCommonFiles, "%c:\\Program Files\\Common Files",
             szWindows[0]);
    return s_szCommonFiles;
}

// The system's own answer, never "SystemRoot" or "windir" from the
// environment, which the user who started the launcher may have set.
int utl_GetWindowsDir(char* pszOut, unsigned cbOut)
{
    UINT cch = GetSystemWindowsDirectoryA(pszOut, cbOut);
    return cch != 0 && cch < cbOut;
}
