// Demo inner installer (KelvoSetup.exe): what an installer visibly does. It
// copies the data files beside it to %ProgramFiles%\Kelvo, registers the
// client under its uninstall key, sets "SetupFlag" and runs for a moment.
// KelvoSetup.ini beside it, section [Demo]:
//   RunMs (1500), ExitCode (0), CopyFiles (1), Register (1), SetFlag (1),
//   DisplayVersion ("5.1.301.1"), Crash (0). ExitCode is the code it ends
//   with, whatever the steps did (3010 after a full install, say, or 1603
//   with SetFlag=0 for a failed one); Crash=1 ends the installer after RunMs
//   with an unhandled exception.
// What it did, and where it ran, goes to KelvoSetup.record.txt beside it.
#include "client_registry.h"
#include "demo_options.h"
#include "proc_check.h"

#include <string.h>

namespace
{

bool IsDemoOwnFile(const char* pszName)
{
    size_t cch = strlen(pszName);
    return (cch > 4 && _stricmp(pszName + cch - 4, ".exe") == 0) ||
           _stricmp(pszName, "KelvoSetup.ini") == 0 || _stricmp(pszName, "dovRelsvc.ini") == 0 ||
           _stricmp(pszName, "KelvoRegister.ini") == 0 || strcmp(pszName, "^Kelvo_end^") == 0 ||
           strstr(pszName, ".record.txt") != NULL;
}

std::string ProgramFolder()
{
    char sz[MAX_PATH] = "C:\\Program Files";
    GetEnvironmentVariableA("ProgramFiles", sz, sizeof sz);
    return std::string(sz) + "\\Kelvo";
}

int CopyDataFiles(const std::string& target)
{
    CreateDirectoryA(target.c_str(), NULL);
    std::string self = BesideSelf("");
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((self + "*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return 0;
    int nCopied = 0;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDemoOwnFile(fd.cFileName))
            nCopied += CopyFileA((self + fd.cFileName).c_str(),
                                 (target + "\\" + fd.cFileName).c_str(), FALSE) != 0;
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return nCopied;
}

bool SetString(HKEY hKey, const char* pszName, const std::string& value)
{
    return RegSetValueExA(hKey, pszName, 0, REG_SZ, (const BYTE*)value.c_str(),
                          (DWORD)value.size() + 1) == ERROR_SUCCESS;
}

bool Register(const std::string& version, const std::string& folder)
{
    HKEY hKey;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, CLIENT_UNINSTALL_KEY, &hKey) != ERROR_SUCCESS)
        return false;
    bool bOk = SetString(hKey, CLIENT_DISPLAY_NAME_VALUE, "Kelvo Client") &&
               SetString(hKey, "DisplayVersion", version) &&
               SetString(hKey, "InstallLocation", folder);
    RegCloseKey(hKey);
    return bOk;
}

bool SetSetupFlag()
{
    HKEY hKey;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, SETUP_FLAG_KEY, &hKey) != ERROR_SUCCESS)
        return false;
    DWORD dwOne = 1;
    bool bOk = RegSetValueExA(hKey, SETUP_FLAG_VALUE, 0, REG_DWORD, (const BYTE*)&dwOne,
                              sizeof dwOne) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    std::string ini = BesideSelf("KelvoSetup.ini");
    std::string record = BesideSelf("KelvoSetup.record.txt");
    DemoRecord(record, std::string("companion_running=") +
                           (chkProcExist("demo", "dovRelsvc.exe") == PROC_RUNNING ? "1" : "0"));
    DemoRecordSurroundings(record);
    std::string folder = ProgramFolder();
    if (DemoOption(ini, "CopyFiles", 1))
        DemoRecord(record, "copied=" + std::to_string(CopyDataFiles(folder)));
    if (DemoOption(ini, "Register", 1))
        DemoRecord(
            record,
            std::string("registered=") +
                (Register(DemoText(ini, "DisplayVersion", "5.1.301.1"), folder) ? "1" : "0"));
    if (DemoOption(ini, "SetFlag", 1))
        DemoRecord(record, std::string("flag=") + (SetSetupFlag() ? "1" : "0"));
    Sleep(DemoOption(ini, "RunMs", 1500));
    if (DemoOption(ini, "Crash", 0)) {
        DemoRecord(record, "crash=1");
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, NULL);
    }
    int nExit = DemoOption(ini, "ExitCode", 0);
    DemoRecord(record, "exit=" + std::to_string(nExit));
    return nExit;
}
