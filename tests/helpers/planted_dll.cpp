// A DLL that must never be loaded from the launcher's own directory: the
// tests plant it there and check that the restricted search ignores it.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}
