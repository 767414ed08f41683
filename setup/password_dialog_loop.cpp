// Runs the password dialog as a modeless window with the entry's own message
// loop, centred on the desktop and kept on top of other windows.
#include "password_gate.h"
#include "resource.h"
#include "log.h"

#include <stdio.h>

static void PlaceCentredOnTop(HWND hDlg)
{
    RECT desktop, dialog;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hDlg, &dialog);
    int x = (desktop.right - desktop.left - (dialog.right - dialog.left)) / 2;
    int y = (desktop.bottom - desktop.top - (dialog.bottom - dialog.top)) / 2;
    SetWindowPos(hDlg, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_HIDEWINDOW);
    ShowWindow(hDlg, SW_SHOW);
    UpdateWindow(hDlg);
}

// A dialog that cannot be made would leave the loop waiting for a quit
// message nobody posts: the run ends as if the user had cancelled.
int RunPasswordDialog(HINSTANCE hInstance)
{
    HWND hDlg =
        CreateDialogParamA(hInstance, MAKEINTRESOURCEA(IDD_CHKPWD_DLG), NULL, ChkPwdDlgProc, 0);
    if (hDlg == NULL) {
        char szLine[80];
        snprintf(szLine, sizeof szLine, "CreateDialogParam failed with err %u.",
                 (unsigned)GetLastError());
        WriteSetupLog(szLine);
        return 0;
    }
    PlaceCentredOnTop(hDlg);
    MSG msg;
    BOOL bGot;
    while ((bGot = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (bGot == -1) {
            WriteSetupLog(" handle the error and possibly exit");
            continue;
        }
        if (!IsDialogMessageA(hDlg, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    DestroyWindow(hDlg);
    return g_bExit;
}
