// The small window a big setup shows while it extracts: the setup's caption,
// "Extracting setup files... N %", a bar and Cancel. It appears only once
// the extraction has run for a second on an interactive desktop, and is
// gone before anything extracted starts. The launchers stay single-threaded:
// the walk calls ExtractionChunk between chunks, which pumps the window's
// messages every tenth of a second. The bar is drawn here, so that the
// launchers load no common-controls library that could be planted.
#include "launch_steps.h"
#include "log.h"
#include "resource.h"
#include "run_log_lines.h"
#include "start_checks.h"

#include <stdio.h>

namespace
{

const DWORD kShowAfterMs = 1000;
const DWORD kPumpEveryMs = 100;

BOOL OnDrawBar(HWND hDlg, const DRAWITEMSTRUCT* pItem)
{
    const ExtractionProgress* pProgress =
        (const ExtractionProgress*)GetWindowLongPtrA(hDlg, GWLP_USERDATA);
    RECT all = pItem->rcItem;
    DrawEdge(pItem->hDC, &all, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    RECT done = all;
    done.right = all.left + (all.right - all.left) * (pProgress ? pProgress->nPercent : 0) / 100;
    FillRect(pItem->hDC, &done, GetSysColorBrush(COLOR_HIGHLIGHT));
    RECT rest = all;
    rest.left = done.right;
    FillRect(pItem->hDC, &rest, GetSysColorBrush(COLOR_WINDOW));
    return TRUE;
}

INT_PTR CALLBACK ProgressDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(hDlg, GWLP_USERDATA, lParam);
        return TRUE;
    case WM_DRAWITEM:
        return wParam == IDC_PROGRESS_BAR && OnDrawBar(hDlg, (const DRAWITEMSTRUCT*)lParam);
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL)
            return FALSE;
        ((ExtractionProgress*)GetWindowLongPtrA(hDlg, GWLP_USERDATA))->bCancelled = 1;
        EnableWindow(GetDlgItem(hDlg, IDCANCEL), FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

void ShowPercent(ExtractionProgress* pProgress, int nPercent)
{
    if (nPercent == pProgress->nPercent)
        return;
    pProgress->nPercent = nPercent;
    char szText[96];
    snprintf(szText, sizeof szText,
             SpeaksChinese(GetSystemDefaultLangID()) ? "正在解压安装文件... %d %%"
                                                     : "Extracting setup files... %d %%",
             nPercent);
    SetDlgItemTextA(pProgress->hWnd, IDC_PROGRESS_TEXT, szText);
    InvalidateRect(GetDlgItem(pProgress->hWnd, IDC_PROGRESS_BAR), NULL, FALSE);
}

// The window, once the extraction has taken a second; never where nobody
// would see it.
void OpenWindow(ExtractionProgress* pProgress)
{
    pProgress->bOpened = 1;
    if (!HasInteractiveDesktop())
        return;
    HWND hWnd = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_PROGRESS_DLG), NULL,
                                   ProgressDlgProc, (LPARAM)pProgress);
    if (hWnd == NULL) {
        char szLine[80];
        snprintf(szLine, sizeof szLine, "ExtractPackage: the progress window fails, err %u.",
                 (unsigned)GetLastError());
        WriteSetupLog(szLine);
        return;
    }
    pProgress->hWnd = hWnd;
    SetWindowTextA(hWnd, RefusalCaption(GetSystemDefaultLangID(), pProgress->eKind));
    SetDlgItemTextA(hWnd, IDCANCEL, SpeaksChinese(GetSystemDefaultLangID()) ? "取消" : "Cancel");
    pProgress->nPercent = -1;
    ShowWindow(hWnd, SW_SHOW);
    WriteSetupLog(RUN_LOG_PROGRESS_SHOWN);
}

void PumpMessages(HWND hWnd)
{
    MSG msg;
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
        if (!IsDialogMessageA(hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

} // namespace

void StartProgress(ExtractionProgress* pProgress, LauncherKind eKind)
{
    pProgress->eKind = eKind;
    pProgress->dwStart = GetTickCount();
    pProgress->dwLastPump = pProgress->dwStart;
    pProgress->bOpened = 0;
    pProgress->hWnd = NULL;
    pProgress->nPercent = 0;
    pProgress->bCancelled = 0;
}

int ExtractionChunk(void* pCtx, uint64_t ullDone, uint64_t ullTotal)
{
    ExtractionProgress* pProgress = (ExtractionProgress*)pCtx;
    DWORD dwNow = GetTickCount();
    if (dwNow - pProgress->dwLastPump < kPumpEveryMs)
        return 1;
    pProgress->dwLastPump = dwNow;
    if (!pProgress->bOpened && dwNow - pProgress->dwStart >= kShowAfterMs)
        OpenWindow(pProgress);
    if (pProgress->hWnd == NULL)
        return 1;
    ShowPercent(pProgress, ullTotal == 0 ? 100 : (int)(ullDone * 100 / ullTotal));
    PumpMessages(pProgress->hWnd);
    return !pProgress->bCancelled;
}

void EndProgress(ExtractionProgress* pProgress)
{
    if (pProgress->hWnd != NULL)
        DestroyWindow(pProgress->hWnd);
    pProgress->hWnd = NULL;
}
