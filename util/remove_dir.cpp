// Empties a directory of its files and removes it; a directory that still has
// subdirectories stays, without complaint. A directory that is a link is
// removed as a link, and nothing behind it is touched.
#include "file_util.h"

void utl_RemoveDir(const char* pszDir)
{
    if (!utl_DirExists(pszDir))
        return;
    if (!utl_IsLink(pszDir))
        utl_DeleteFilesInDir(pszDir, "*.*");
    RemoveDirectoryA(pszDir);
}
