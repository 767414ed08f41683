// Message boxes are dialogs of class "#32770"; their text is the static
// control with id 0xFFFF.
#include "msgbox_watch.h"

namespace
{

struct Search {
    const char* pszCaption;
    DWORD dwProcessId;
    HWND hFound;
};

BOOL CALLBACK MatchWindow(HWND hWnd, LPARAM lParam)
{
    Search* pSearch = reinterpret_cast<Search*>(lParam);
    char szClass[16];
    char szCaption[256];
    if (!GetClassNameA(hWnd, szClass, sizeof szClass) || lstrcmpA(szClass, "#32770") != 0)
        return TRUE;
    GetWindowTextA(hWnd, szCaption, sizeof szCaption);
    if (lstrcmpA(szCaption, pSearch->pszCaption) != 0)
        return TRUE;
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    if (pSearch->dwProcessId != 0 && dwPid != pSearch->dwProcessId)
        return TRUE;
    pSearch->hFound = hWnd;
    return FALSE;
}

HWND FindBox(const char* pszCaption, DWORD dwProcessId)
{
    Search search = {pszCaption, dwProcessId, NULL};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

} // namespace

HWND FindMessageBox(const char* pszCaption, DWORD dwProcessId, DWORD dwTimeoutMs,
                    MessageBoxSeen* pSeen)
{
    DWORD dwStart = GetTickCount();
    HWND hBox = NULL;
    while ((hBox = FindBox(pszCaption, dwProcessId)) == NULL) {
        if (GetTickCount() - dwStart >= dwTimeoutMs)
            return NULL;
        Sleep(50);
    }
    char szText[1024] = "";
    GetDlgItemTextA(hBox, 0xFFFF, szText, sizeof szText);
    pSeen->text = szText;
    pSeen->dwProcessId = 0;
    GetWindowThreadProcessId(hBox, &pSeen->dwProcessId);
    pSeen->bHasCancel = GetDlgItem(hBox, IDCANCEL) != NULL;
    return hBox;
}

void TypeText(HWND hEdit, const std::string& text)
{
    SendMessageA(hEdit, WM_SETTEXT, 0, (LPARAM) "");
    for (unsigned char c : text)
        PostMessageA(hEdit, WM_CHAR, c, 0);
}

void PressButton(HWND hDlg, int nId)
{
    PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), 0);
}

void PressOk(HWND hBox)
{
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
}

bool WatchMessageBox(const char* pszCaption, DWORD dwProcessId, DWORD dwTimeoutMs,
                     MessageBoxSeen* pSeen)
{
    HWND hBox = FindMessageBox(pszCaption, dwProcessId, dwTimeoutMs, pSeen);
    if (hBox != NULL)
        PressOk(hBox);
    return hBox != NULL;
}
