// Deletes the files of one directory that match a pattern, whatever their
// attributes. Subdirectories are left alone; a file that cannot be deleted is
// skipped so that as many as possible go. A directory that is a link is never
// entered, and a link among the files is deleted as a link: the elevated
// launcher must not delete or change files that only a link leads to.
#include "file_util.h"

void utl_DeleteFilesInDir(const char* pszDir, const char* pszPattern)
{
    char szSearch[UTL_PATH_BUF];
    if (utl_IsLink(pszDir) || !utl_JoinPath(szSearch, sizeof szSearch, pszDir, pszPattern))
        return;

    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(szSearch, &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        char szFile[UTL_PATH_BUF];
        if (!utl_JoinPath(szFile, sizeof szFile, pszDir, fd.cFileName))
            continue;
        // Attributes set through a link could land on its target.
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            SetFileAttributesA(szFile, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(szFile);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}
