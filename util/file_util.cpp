// Removes a whole directory tree. A junction or directory link met on the way
// is removed as a link and never followed, so the removal cannot reach files
// outside the tree it was asked to remove.
#include "file_util.h"

#include <string.h>

static int IsDotEntry(const char* pszName)
{
    return strcmp(pszName, ".") == 0 || strcmp(pszName, "..") == 0;
}

int utl_RemoveDirTree(const char* pszDir)
{
    if (!utl_DirExists(pszDir))
        return 1;
    if (utl_IsLink(pszDir))
        return RemoveDirectoryA(pszDir) ? 1 : 0;
    utl_DeleteFilesInDir(pszDir, "*.*");
    utl_RemoveSubDirs(pszDir);
    return RemoveDirectoryA(pszDir) ? 1 : 0;
}

void utl_RemoveSubDirs(const char* pszDir)
{
    char szSearch[UTL_PATH_BUF];
    if (!utl_JoinPath(szSearch, sizeof szSearch, pszDir, "*.*"))
        return;

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(szSearch, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotEntry(fd.cFileName))
            continue;
        char szSub[UTL_PATH_BUF];
        if (utl_JoinPath(szSub, sizeof szSub, pszDir, fd.cFileName))
            utl_RemoveDirTree(szSub);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}
