#include "hidden_desktop.h"

#include <windows.h>
#include <gtest/gtest.h>

const char* HiddenDesktop()
{
    static const char kName[] = "KelvoTestNoDesktop\\Default";
    static HDESK s_hDesktop = NULL;
    if (s_hDesktop != NULL)
        return kName;
    HWINSTA hOwn = GetProcessWindowStation();
    HWINSTA hStation = CreateWindowStationA("KelvoTestNoDesktop", 0, WINSTA_ALL_ACCESS, NULL);
    if (hStation != NULL && SetProcessWindowStation(hStation)) {
        s_hDesktop = CreateDesktopA("Default", NULL, NULL, 0, GENERIC_ALL, NULL);
        SetProcessWindowStation(hOwn);
    }
    if (s_hDesktop == NULL) {
        ADD_FAILURE() << "no window station of its own, error " << GetLastError();
        return NULL;
    }
    return kName;
}
