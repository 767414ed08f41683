// Empties a directory of its files and removes it; a directory that still has
// subdirectories stays, without complaint.
#include "file_util.h"

void utl_RemoveDir(const char* pszDir)
{
    if (!utl_DirExists(pszDir))
        return;
    utl_DeleteFilesInDir(pszDir, "*.*");
    RemoveDirectoryA(pszDir);
}
