// The uninstall-password dialog (resource 134). What the user types is
// encrypted the way the stored password was and the two texts compared; the
// password itself is never decrypted. Three wrong passwords in a run end it.
// Every way out posts the quit message that ends the entry's message loop.
#include "password_gate.h"
#include "start_checks.h"
#include "des_text.h"
#include "resource.h"
#include "log.h"

#include <stdio.h>
#include <string.h>

char g_szStoredPwd[STORED_PWD_BUF];
int g_bExit = 0;
int g_nPwdErrCount = 0;

namespace
{

struct DialogTexts {
    const char* pszCaption;
    const char* pszPrompt;
    const char* pszOk;
    const char* pszCancel;
    const char* pszWrong;
    const char* pszTooManyText;
    const char* pszTooManyCaption;
};

const DialogTexts kEnglish = {
    "Uninstall Password",
    "The client is protected by a password. Please input the password to proceed with the "
    "client upgrade.",
    "OK",
    "Cancel",
    "Wrong password. Please try again:",
    "You have input wrong passwords for the maximum number of times. The installation wizard "
    "is about to abort...",
    "Wrong Password",
};

const DialogTexts kChinese = {
    "卸载密码",
    "已安装的客户端受密码保护，需要输入卸载密码才能进行升级。请输入密码：",
    "确定",
    "取消",
    "密码错误，请重新输入：",
    "超过最大密码错误重试次数，安装程序即将退出。",
    "密码错误",
};

// The language is asked for at each use.
const DialogTexts* Texts()
{
    return SpeaksChinese(GetSystemDefaultLangID()) ? &kChinese : &kEnglish;
}

BOOL OnInitDialog(HWND hDlg)
{
    const DialogTexts* pTexts = Texts();
    SetDlgItemTextA(hDlg, IDC_PWD_PROMPT, pTexts->pszPrompt);
    SetDlgItemTextA(hDlg, IDOK, pTexts->pszOk);
    SetDlgItemTextA(hDlg, IDCANCEL, pTexts->pszCancel);
    SetWindowTextA(hDlg, pTexts->pszCaption);
    ShowWindow(GetDlgItem(hDlg, IDC_PWD_ERROR), SW_HIDE);
    SendDlgItemMessageA(hDlg, IDC_PWD_EDIT, EM_LIMITTEXT, PWD_MAX_TYPED, 0);
    SetFocus(GetDlgItem(hDlg, IDC_PWD_EDIT));
    return TRUE;
}

int TypedPasswordMatches(HWND hDlg)
{
    char szTyped[PWD_TYPED_BUF] = "";
    HWND hEdit = GetDlgItem(hDlg, IDC_PWD_EDIT);
    int cchTyped = GetWindowTextLengthA(hEdit);
    if (cchTyped > PWD_MAX_TYPED)
        cchTyped = PWD_MAX_TYPED;
    cchTyped = GetWindowTextA(hEdit, szTyped, cchTyped + 1);
    char szEncrypted[STORED_PWD_MAX + 1];
    memset(szEncrypted, 0, sizeof szEncrypted);
    utl_DesEncryptText(szEncrypted, STORED_PWD_MAX, (const uint8_t*)szTyped, (uint32_t)cchTyped);
    SecureZeroMemory(szTyped, sizeof szTyped);
    return strcmp(szEncrypted, g_szStoredPwd) == 0;
}

void AskAgain(HWND hDlg)
{
    HWND hEdit = GetDlgItem(hDlg, IDC_PWD_EDIT);
    ShowWindow(GetDlgItem(hDlg, IDC_PWD_ERROR), SW_SHOWNORMAL);
    SetDlgItemTextA(hDlg, IDC_PWD_PROMPT, "");
    SetDlgItemTextA(hDlg, IDC_PWD_ERROR, Texts()->pszWrong);
    SetWindowTextA(hEdit, "");
    SetFocus(hEdit);
}

BOOL OnOk(HWND hDlg)
{
    if (TypedPasswordMatches(hDlg)) {
        g_bExit = 1;
        WriteSetupLog("g_bExit = TRUE;");
        PostQuitMessage(0);
        EndDialog(hDlg, 1);
        return FALSE;
    }
    if (++g_nPwdErrCount >= PWD_MAX_WRONG) {
        const DialogTexts* pTexts = Texts();
        MessageBoxA(hDlg, pTexts->pszTooManyText, pTexts->pszTooManyCaption, MB_ICONWARNING);
        EndDialog(hDlg, 1);
        PostQuitMessage(0);
        return FALSE;
    }
    AskAgain(hDlg);
    return FALSE;
}

BOOL OnCommand(HWND hDlg, WORD wId)
{
    if (wId == IDOK)
        return OnOk(hDlg);
    if (wId != IDCANCEL)
        return FALSE;
    EndDialog(hDlg, IDCANCEL);
    PostQuitMessage(0);
    return TRUE;
}

BOOL OnClose(HWND hDlg, WPARAM wParam)
{
    EndDialog(hDlg, LOWORD(wParam));
    PostQuitMessage(0);
    return TRUE;
}

void PlaceCentredOnTop(HWND hDlg)
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

} // namespace

INT_PTR CALLBACK ChkPwdDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        return OnInitDialog(hDlg);
    case WM_COMMAND:
        return OnCommand(hDlg, LOWORD(wParam));
    case WM_CLOSE:
        return OnClose(hDlg, wParam);
    case WM_DESTROY:
        PostQuitMessage(0);
        return FALSE;
    default:
        return FALSE;
    }
}

// The dialog runs modeless with the entry's own message loop, centred on the
// desktop and kept on top of other windows. A dialog that cannot be made
// would leave the loop waiting for a quit message nobody posts: the run ends
// as if the user had cancelled.
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
