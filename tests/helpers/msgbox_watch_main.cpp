// Waits for a message box or dialog with a given caption, prints its text as
// hex bytes, then presses OK. For scripts and manual runs; the tests call the
// same code.
//   msgbox-watch [--timeout-ms N] [--hex] [--type TEXT] [--press ID | --no-press] <caption>
// With --hex the caption is given as hex bytes (non-ASCII arguments do not
// survive Wine's command line). With --type the text is first typed into the
// dialog's password field (control 1001). --press presses another button
// than OK (2 is Cancel); --no-press leaves the window as it is. Exit 0 when a
// window was seen, 1 on time-out.
#include "msgbox_watch.h"
#include "test_env.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv)
{
    DWORD dwTimeoutMs = 10000;
    bool bHex = false;
    const char* pszCaption = NULL;
    const char* pszType = NULL;
    int nPress = IDOK;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--timeout-ms") == 0 && i + 1 < argc)
            dwTimeoutMs = strtoul(argv[++i], NULL, 10);
        else if (strcmp(argv[i], "--hex") == 0)
            bHex = true;
        else if (strcmp(argv[i], "--type") == 0 && i + 1 < argc)
            pszType = argv[++i];
        else if (strcmp(argv[i], "--press") == 0 && i + 1 < argc)
            nPress = atoi(argv[++i]);
        else if (strcmp(argv[i], "--no-press") == 0)
            nPress = 0;
        else
            pszCaption = argv[i];
    }
    std::string caption;
    bool bOk = pszCaption != NULL;
    if (bOk && bHex)
        bOk = FromHex(pszCaption, &caption);
    else if (bOk)
        caption = pszCaption;
    if (!bOk) {
        fprintf(stderr, "usage: msgbox-watch [--timeout-ms N] [--hex] [--type TEXT] "
                        "[--press ID | --no-press] <caption>\n");
        return 2;
    }
    MessageBoxSeen seen;
    HWND hBox = FindMessageBox(caption.c_str(), 0, dwTimeoutMs, &seen);
    if (hBox != NULL && pszType != NULL)
        TypeText(GetDlgItem(hBox, 1001), pszType);
    if (hBox != NULL && nPress != 0)
        PressButton(hBox, nPress);
    if (hBox == NULL) {
        fprintf(stderr, "msgbox-watch: no box captioned \"%s\" within %lu ms\n", pszCaption,
                (unsigned long)dwTimeoutMs);
        return 1;
    }
    printf("pid %lu\ntext %s\n", (unsigned long)seen.dwProcessId, ToHex(seen.text).c_str());
    return 0;
}
