// Who made an object, and who may change it. The elevated launchers meet
// folders and named objects that a standard user may have made before them;
// they rely only on those that nobody but SYSTEM and Administrators can have
// made or changed.
#pragma once

#include <windows.h>

#include <accctrl.h>

// Owned by SYSTEM, by Administrators, or by the owner this process's token
// gives to what it creates; 0 for an object without an owner.
int utl_HasTrustedOwner(HANDLE hObject, SE_OBJECT_TYPE eType);
// 1 when nobody but SYSTEM and Administrators (or the owner this process
// gives what it makes) may change the file or folder or what is made in it:
// a trusted owner, and no entry of its DACL, inherit-only ones included,
// that lets anyone else write, delete or change its security.
int utl_OnlyAdminsMayChange(HANDLE hObject);
// The same test of a security descriptor (its owner and DACL).
int utl_DescriptorLetsOnlyAdminsChange(PSECURITY_DESCRIPTOR pSd);
