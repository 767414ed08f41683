// The work directory lies under C:\tmp, which ordinary users may create and
// write to, and the elevated launcher starts programs from it. So it is
// never reused: a file planted in an old one that cannot be deleted would sit
// beside the elevated installer, where Windows looks for its DLLs first.
// - C:\tmp must be a plain directory the launcher can hold. Other programs
//   use it too (a junction there commonly moves it to another drive), so when
//   it is a link or cannot be held the launcher refuses and changes nothing.
// - Whatever stands at C:\tmp\KelvoSetup0 is set aside by renaming it: a
//   directory (an earlier run's, or anybody's) is then removed link-safely,
//   best-effort; a file is kept under its new name until the next run; a
//   link is removed as a link. What earlier runs set aside, folders and
//   files alike, is removed then, so at most one payload stays on disk and
//   nothing of that name piles up. Every removal goes through handles opened
//   relative to the held C:\tmp, never by a path.
// - The new directory is made relative to the held C:\tmp and opened in the
//   same step, with a descriptor that lets only SYSTEM and Administrators
//   write, and its final path is confirmed before anything goes into it.
// Both directories stay open without delete sharing, so nobody can rename or
// replace them until the caller lets go.
#include "launch_steps.h"
#include "file_util.h"
#include "held_dir.h"
#include "log.h"

#include <sddl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

namespace
{

const char kTmpRoot[] = UTL_TMP_ROOT;
const char kWorkName[] = "KelvoSetup0";
const char kWorkDir[] = UTL_TMP_ROOT "\\KelvoSetup0";
// What earlier runs set aside: <name>.old.<n>, and .untrusted.<n> from
// launchers that renamed only the directories they did not trust.
const char* const kAsidePatterns[] = {"KelvoSetup0.old.*", "KelvoSetup0.untrusted.*"};
const char kAsideTag[] = "old";
// SYSTEM and Administrators may do anything; Users may read and run what was
// extracted (an installer may start helpers without elevation), never write.
const char kProtectedDacl[] = UTL_PROTECTED_DIR_SDDL;

__attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2))) void LogWorkDir(const char* pszFormat, ...)
{
    char szLine[2 * MAX_PATH + 96];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(szLine, sizeof szLine, pszFormat, args);
    va_end(args);
    WriteSetupLog(szLine);
}

// C:\tmp, made when missing, held when it is a plain directory.
HANDLE HoldTmpRoot()
{
    if (GetFileAttributesA(kTmpRoot) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(kTmpRoot, NULL);
    HANDLE hTmp = utl_HoldDir(kTmpRoot);
    if (hTmp != INVALID_HANDLE_VALUE && utl_IsPlainHeldDir(hTmp, kTmpRoot))
        return hTmp;
    utl_CloseHandle(&hTmp);
    LogWorkDir("PrepareWorkDir: %s is a link or cannot be held; nothing is changed.", kTmpRoot);
    return INVALID_HANDLE_VALUE;
}

// The renamed directory, still held, goes with everything in it that can go;
// what cannot stays aside, harmless, for the next run to try again.
void RemoveSetAside(HANDLE hAside)
{
    utl_RemoveHeldEntries(hAside, "*", UTL_REMOVE_ALL);
    utl_DeleteHeldDir(hAside);
    CloseHandle(hAside);
}

// Frees the work directory's name; 0 when it can be neither set aside nor
// removed.
int FreeWorkName(HANDLE hTmp)
{
    UtlAside aside;
    if (!utl_SetAside(hTmp, kTmpRoot, kWorkName, kAsideTag, 1, &aside)) {
        LogWorkDir("PrepareWorkDir: %s cannot be set aside, err %lu.", kWorkDir,
                   (unsigned long)aside.dwErr);
        return 0;
    }
    if (aside.bWasLink)
        LogWorkDir("PrepareWorkDir: %s is a link and is removed as a link.", kWorkDir);
    else if (aside.szAside[0] != '\0')
        LogWorkDir("PrepareWorkDir: %s is set aside as %s.", kWorkDir, aside.szAside);
    if (aside.hAside != INVALID_HANDLE_VALUE)
        RemoveSetAside(aside.hAside);
    return 1;
}

// The whole descriptor is applied, its protection flag included, so nothing
// is inherited from C:\tmp; files extracted later inherit its entries. A
// volume without persistent ACLs (FAT) cannot be protected and has no other
// users' rights to protect against.
int Protect(HANDLE hWork, DWORD* pdwErr)
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedDacl, SDDL_REVISION_1, &pSd,
                                                              NULL)) {
        *pdwErr = GetLastError();
        return 0;
    }
    BOOL bSet = SetKernelObjectSecurity(hWork, DACL_SECURITY_INFORMATION, pSd);
    *pdwErr = GetLastError();
    LocalFree(pSd);
    DWORD dwFlags = 0;
    return bSet || (GetVolumeInformationA("C:\\", NULL, 0, NULL, NULL, &dwFlags, NULL, 0) &&
                    !(dwFlags & FILE_PERSISTENT_ACLS));
}

// Made new next to nothing of the same name, relative to the held C:\tmp,
// and confirmed to be where it was made.
HANDLE MakeWorkDir(HANDLE hTmp)
{
    DWORD dwErr = 0;
    HANDLE hWork = utl_MakeNewDir(hTmp, kWorkName, kProtectedDacl, &dwErr);
    if (hWork == INVALID_HANDLE_VALUE) {
        LogWorkDir(dwErr == ERROR_ALREADY_EXISTS
                       ? "PrepareWorkDir: %s appeared while it was being made, err %lu."
                       : "PrepareWorkDir: %s cannot be made, err %lu.",
                   kWorkDir, (unsigned long)dwErr);
        return INVALID_HANDLE_VALUE;
    }
    if (!utl_IsPlainHeldDir(hWork, kWorkDir) || !utl_HeldPathIs(hWork, kWorkDir)) {
        LogWorkDir("PrepareWorkDir: %s is not the directory that was made; nothing goes into it.",
                   kWorkDir);
        utl_CloseHandle(&hWork);
    } else if (!Protect(hWork, &dwErr)) {
        LogWorkDir("PrepareWorkDir: %s cannot be protected, err %lu.", kWorkDir,
                   (unsigned long)dwErr);
        utl_CloseHandle(&hWork);
    }
    return hWork;
}

} // namespace

int PrepareWorkDir(char* pszOut, size_t cbOut, WorkDirHold* pHold)
{
    if (cbOut < sizeof kWorkDir)
        return 0;
    pHold->hTmp = HoldTmpRoot();
    if (pHold->hTmp == INVALID_HANDLE_VALUE)
        return 0;
    for (const char* pszPattern : kAsidePatterns)
        utl_RemoveHeldEntries(pHold->hTmp, pszPattern, UTL_REMOVE_ALL);
    if (FreeWorkName(pHold->hTmp))
        pHold->hWork = MakeWorkDir(pHold->hTmp);
    if (pHold->hWork == INVALID_HANDLE_VALUE) {
        ReleaseWorkDir(pHold);
        return 0;
    }
    memcpy(pszOut, kWorkDir, sizeof kWorkDir);
    return 1;
}

void ReleaseWorkDir(WorkDirHold* pHold)
{
    utl_CloseHandle(&pHold->hWork);
    utl_CloseHandle(&pHold->hTmp);
}
