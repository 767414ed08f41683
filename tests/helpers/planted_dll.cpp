// A DLL that must never be loaded from the launcher's own directory: the
// tests plant copies of it there under the names of system libraries, and
// each copy that is loaded says so by appending its own path and its host
// program's to C:\tmp\kelvo-planted-loaded.txt.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hSelf, DWORD dwReason, LPVOID)
{
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char szLine[2 * MAX_PATH + 8] = "";
    DWORD cch = GetModuleFileNameA(hSelf, szLine, MAX_PATH);
    szLine[cch++] = ' ';
    cch += GetModuleFileNameA(NULL, szLine + cch, MAX_PATH);
    lstrcpyA(szLine + cch, "\r\n");
    HANDLE hFile = CreateFileA("C:\\tmp\\kelvo-planted-loaded.txt", FILE_APPEND_DATA,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE) {
        DWORD dwDone;
        WriteFile(hFile, szLine, cch + 2, &dwDone, NULL);
        CloseHandle(hFile);
    }
    return TRUE;
}
