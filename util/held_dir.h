// Directories the elevated launchers use in places any user may write to
// (C:\tmp, the root of drive C:). What stands there may have been prepared
// by somebody else: a link, a planted file, a folder of theirs, or a swap
// between a check and a use. So a directory is opened first and checked
// through the handle, held without delete sharing while it is used, made
// new rather than reused, and what is not used is set aside by renaming.
// Removal walks open each entry relative to its held parent, remove it
// through that handle and never enter a link.
#pragma once

#include <windows.h>

// Opened as itself, never through a link, and without delete sharing: while
// the handle is held nobody can rename, delete or replace the directory.
HANDLE utl_HoldDir(const char* pszDir);
// The same, with delete access, for a directory about to be removed.
HANDLE utl_HoldDirForRemoval(const char* pszDir);
// A plain directory, not a link: asked of the held handle and of the path,
// since Wine's handle on a link describes the link's target.
int utl_IsPlainHeldDir(HANDLE hDir, const char* pszDir);
// Opens the file pszName of the held directory hDir relative to that handle,
// as itself (a link is opened as the link), with the access and sharing
// given: a new file (bCreateNew: ERROR_FILE_EXISTS when it is there) or an
// existing one (ERROR_FILE_NOT_FOUND when it is not). *pdwErr gets the Win32
// error of a failure.
HANDLE utl_OpenFileInHeldDir(HANDLE hDir, const char* pszName, DWORD dwAccess, DWORD dwShare,
                             int bCreateNew, DWORD* pdwErr);
// Makes a directory that must not exist yet and opens it in the same step,
// with the descriptor given in SDDL, so that what is held is what was made.
// pszName is relative to the held hParent, or a full path when hParent is
// NULL. The handle is held as utl_HoldDir holds; *pdwErr gets a Win32 error
// number on failure.
HANDLE utl_MakeNewDir(HANDLE hParent, const char* pszName, const char* pszSddl, DWORD* pdwErr);
// What the launchers make under C:\ (the work directory, the log folder):
// SYSTEM and Administrators in full, Users read and run, nothing inherited.
#define UTL_PROTECTED_DIR_SDDL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)"
// 1 when the handle's final path is pszPath (a full path), or when the
// system cannot tell (no GetFinalPathNameByHandleW).
int utl_HeldPathIs(HANDLE hEntry, const char* pszPath);

// What setting a name aside did.
struct UtlAside {
    char szAside[MAX_PATH + 64]; // the full new name, "" when nothing was renamed
    int bWasLink;                // a link stood there, and was removed as a link
    HANDLE hAside;               // with bHoldDir, the renamed directory, still held
    DWORD dwErr;                 // the Win32 error of a failure
};
// Sets aside whatever stands at pszName in the held directory hParent
// (pszParentDir is its full path, for the new name) by renaming it to
// <name>.<pszTag>.<n> beside it. The entry is opened relative to hParent as
// itself; a link is removed as a link through that handle, never renamed
// (Wine would move its target) and never named by a path. Returns 1 when the
// name is free afterwards. With bHoldDir a renamed directory stays held in
// pAside->hAside (else INVALID_HANDLE_VALUE), so that the caller can remove
// it without a swap in between.
int utl_SetAside(HANDLE hParent, const char* pszParentDir, const char* pszName, const char* pszTag,
                 int bHoldDir, UtlAside* pAside);

// What a removal walk removes below a directory.
enum { UTL_REMOVE_FILES = 1, UTL_REMOVE_DIRS = 2, UTL_REMOVE_ALL = 3 };
// Removes the entries of the held directory hDir that match pszPattern (*
// and ?, case-insensitive), best-effort: files (read-only ones too, unless
// they have other names), subdirectories with everything in them, links as
// links. Each entry is opened relative to its held parent, never through a
// link, and removed through that handle; names the code page cannot show
// are removed too. Subdirectories deeper than 64 levels are left.
void utl_RemoveHeldEntries(HANDLE hDir, const char* pszPattern, int nKinds);
// Removes the link hLink was opened on (with FILE_FLAG_OPEN_REPARSE_POINT
// and delete access); 0 when the handle shows no link, as Wine's handle on
// a link to a directory does (it describes the target), or it cannot go.
int utl_RemoveHeldLink(HANDLE hLink);
// Marks the held directory (opened with delete access, as utl_HoldDir and
// utl_SetAside do) to go when its handle is closed; 0 when it is not empty
// or cannot go.
int utl_DeleteHeldDir(HANDLE hDir);
