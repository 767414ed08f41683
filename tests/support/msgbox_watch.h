// Finds a message box by caption, reads its text and presses OK, so that a
// test can go through a refusal exactly as a user would.
#pragma once

#include <windows.h>
#include <string>

struct MessageBoxSeen {
    std::string text; // the box's static text, bytes as the ANSI code page gives them
    DWORD dwProcessId;
    bool bHasCancel;
};

// Waits up to dwTimeoutMs for a top-level dialog window with this caption
// (and, when dwProcessId is nonzero, owned by that process) and reads it;
// the box stays up. NULL on time-out.
HWND FindMessageBox(const char* pszCaption, DWORD dwProcessId, DWORD dwTimeoutMs,
                    MessageBoxSeen* pSeen);
void PressOk(HWND hBox);
// Types the text into an edit control one character at a time, as a user
// would, so length limits apply. The characters are posted: a button pressed
// afterwards with PressOk or PressButton is handled after them.
void TypeText(HWND hEdit, const std::string& text);
void PressButton(HWND hDlg, int nId);

// Finds the box as above and presses OK.
bool WatchMessageBox(const char* pszCaption, DWORD dwProcessId, DWORD dwTimeoutMs,
                     MessageBoxSeen* pSeen);
