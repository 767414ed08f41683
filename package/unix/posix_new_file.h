// A new file that takes its name in a folder only when it is complete, for
// the Linux tool's outputs and every file its unpacker writes: nothing half
// written ever stands under a name, and nothing is left behind. Where the
// file system allows it, the file has no name at all until it is linked into
// place (O_TMPFILE), so even a killed process leaves nothing; elsewhere it
// has a temporary name of this host and process beside its place, which
// SIGINT, SIGTERM and SIGHUP remove, and which a later run removes once the
// process that made it is gone.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

enum { PNF_NAME_BUF = 256 };

struct PosixNewFile {
    int fdDir; // the folder, the caller's descriptor
    int fd;
    int bNamed; // it has the temporary name szTemp
    char szName[PNF_NAME_BUF];
    char szTemp[PNF_NAME_BUF];
};

// Makes the file in fdDir, to take the name pszName there: 0, or the errno
// (ENAMETOOLONG where no temporary name fits beside pszName). A new file has
// the mode 0666 leaves under the umask.
int pnf_Create(PosixNewFile* pFile, int fdDir, const char* pszName);
// Puts it in place of whatever stands at its name, in one step: 0, or the
// errno (the file is then gone). pstKeep, the file it replaces: its mode,
// owner and group pass to the new file as far as this process may give them.
int pnf_Commit(PosixNewFile* pFile, const struct stat* pstKeep);
// Removes it; safe on a file never made, and twice.
void pnf_Discard(PosixNewFile* pFile);
// The entries of the folder fdDir, through a descriptor of their own (the
// caller's stays open): closedir ends it. NULL when it cannot be listed.
DIR* pnf_ListDir(int fdDir);
// Removes from fdDir the temporary files of this host's processes that have
// ended (a run killed with SIGKILL, or on a file system without O_TMPFILE).
void pnf_RemoveStale(int fdDir);
