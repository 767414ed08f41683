// The upgrade password gate: an installed client protected by an uninstall
// password is upgraded only when the user types that password.
#pragma once

#include <windows.h>

enum {
    STORED_PWD_MAX = 128, // the longest stored password text, without terminator
    STORED_PWD_BUF = 132, // the stored text, its terminator, and room to spare
    PWD_MAX_TYPED = 32,   // the edit box takes no more
    PWD_TYPED_BUF = 36,   // the typed password, its terminator, and room to spare
    PWD_MAX_WRONG = 3,
};

// The stored (encrypted) password text of the installed client; empty when
// none was read.
extern char g_szStoredPwd[STORED_PWD_BUF];
// Set when the right password was typed.
extern int g_bExit;
// Wrong passwords so far in this run; three end it.
extern int g_nPwdErrCount;

// 1 when the installed client is protected and registered, so the password
// must be asked for; fills pszStoredPwd (at least STORED_PWD_MAX + 1 bytes).
int IsUninstallPrompt(const char* pszModule, char* pszStoredPwd);
// 1 when the reginfo directory holds a verified customisation pair, moving
// the pairs over from the legacy directory when only that one has them.
int utl_LoadCusIniFile(const char* pszModule);

INT_PTR CALLBACK ChkPwdDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
// Shows the dialog centred and topmost and runs its message loop until it
// closes; returns g_bExit. A dialog that cannot be made counts as cancelled.
int RunPasswordDialog(HINSTANCE hInstance);

// The client's reginfo directories under Common Files: 0 when there is no
// Common Files directory (or the path would be too long).
int GetReginfoDir(char* pszOut, size_t cbOut);
int GetLegacyReginfoDir(char* pszOut, size_t cbOut);
int GetLegacyTopDir(char* pszOut, size_t cbOut);
