// Existence tests by path or wildcard pattern. A directory never counts as a
// file and a file never counts as a directory; a pattern matching both kinds
// of entry satisfies both tests. And the link test the removals share.
#include "file_util.h"

static int AnyEntryOfKind(const char* pszPattern, int bWantDir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(pszPattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    int bFound = 0;
    do {
        int bIsDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bIsDir == bWantDir) {
            bFound = 1;
            break;
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return bFound;
}

int utl_FileExists(const char* pszPattern)
{
    return AnyEntryOfKind(pszPattern, 0);
}

int utl_DirExists(const char* pszPattern)
{
    return AnyEntryOfKind(pszPattern, 1);
}

int utl_IsLink(const char* pszPath)
{
    DWORD dwAttr = GetFileAttributesA(pszPath);
    return dwAttr != INVALID_FILE_ATTRIBUTES && (dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
