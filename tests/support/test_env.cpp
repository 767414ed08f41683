#include "test_env.h"
#include "machine_registry.h"
#include "standin_stop.h"

#include <sddl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <algorithm>

bool RunningOnWine()
{
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

bool LaidOutBy(const char* pszScript)
{
    char sz[64] = "";
    GetEnvironmentVariableA("KELVO_LAID_OUT", sz, sizeof sz);
    return strcmp(sz, pszScript) == 0;
}

std::vector<std::string> Names(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(pattern.c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (strcmp(fd.cFileName, ".") != 0 && strcmp(fd.cFileName, "..") != 0)
            names.push_back(fd.cFileName);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    std::sort(names.begin(), names.end());
    return names;
}

std::string BinDir()
{
    char szPath[MAX_PATH];
    DWORD cch = GetModuleFileNameA(NULL, szPath, sizeof szPath);
    std::string path(szPath, cch);
    return path.substr(0, path.rfind('\\'));
}

std::string BinPath(const char* pszName)
{
    return BinDir() + "\\" + pszName;
}

std::string ShippedBinPath(const char* pszName)
{
    char szDir[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("KELVO_SHIPPED_BIN", szDir, sizeof szDir);
    if (cch == 0 || cch >= sizeof szDir)
        return BinPath(pszName);
    return std::string(szDir) + "\\" + pszName;
}

static void RemoveTree(const std::string& dir)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = dir + "\\" + name;
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                RemoveTree(path);
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!DeleteFileA(path.c_str()))
                    RemoveDirectoryA(path.c_str());
            }
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string FreshTestDir(const char* pszName)
{
    CreateDirectoryA("C:\\tmp", NULL);
    CreateDirectoryA("C:\\tmp\\kelvo-tests", NULL);
    std::string dir = std::string("C:\\tmp\\kelvo-tests\\") + pszName;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

bool WriteWholeFile(const std::string& path, const std::string& data)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    DWORD dwDone = 0;
    BOOL bOk = WriteFile(hFile, data.data(), (DWORD)data.size(), &dwDone, NULL);
    CloseHandle(hFile);
    return bOk && dwDone == data.size();
}

bool ReadWholeFile(const std::string& path, std::string* pData)
{
    pData->clear();
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    char buf[4096];
    DWORD dwRead = 0;
    bool bOk = true;
    while ((bOk = ReadFile(hFile, buf, sizeof buf, &dwRead, NULL) != 0) && dwRead > 0)
        pData->append(buf, dwRead);
    CloseHandle(hFile);
    return bOk;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ReadOr(const std::string& path, const char* pszMissing)
{
    std::string data;
    return ReadWholeFile(path, &data) ? data : pszMissing;
}

// 64-bit Wine has, rarely, refused to start a setup with ERROR_INTERNAL_ERROR
// (1359) just after an earlier process of the same file had ended (once
// after the file was replaced by a new build, once after a kill); the same
// start in a rerun worked. Under Wine that error is tried again for about a
// second before it counts; Windows has no such refusal, and any other error
// is returned at once.
static BOOL CreateTestProcess(const std::string& path, std::string cmd, BOOL bInherit,
                              STARTUPINFOA* pSi, PROCESS_INFORMATION* pPi,
                              const char* pszCwd = NULL, DWORD dwFlags = 0)
{
    for (int nTry = 1;; ++nTry) {
        if (CreateProcessA(path.c_str(), &cmd[0], NULL, NULL, bInherit, dwFlags, NULL, pszCwd, pSi,
                           pPi))
            return TRUE;
        if (GetLastError() != ERROR_INTERNAL_ERROR || !RunningOnWine() || nTry == 5)
            return FALSE;
        Sleep(200);
    }
}

bool StartProgram(const std::string& path, const std::string& args, PROCESS_INFORMATION* pPi,
                  const char* pszDesktop)
{
    std::string cmd = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.lpDesktop = const_cast<char*>(pszDesktop);
    return CreateTestProcess(path, cmd, FALSE, &si, pPi) != 0;
}

bool StartProgramIn(const std::string& path, const std::string& args, const char* pszCwd,
                    DWORD dwFlags, PROCESS_INFORMATION* pPi, const char* pszDesktop)
{
    std::string cmd = "\"" + path + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.lpDesktop = const_cast<char*>(pszDesktop);
    return CreateTestProcess(path, cmd, FALSE, &si, pPi, pszCwd, dwFlags) != 0;
}

bool RunAndCapture(const std::string& path, const std::string& args, DWORD dwTimeoutMs,
                   DWORD* pdwExitCode, std::string* pOutput, bool bWithStderr)
{
    pOutput->clear();
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, TRUE};
    HANDLE hRead = NULL, hWrite = NULL;
    if (!CreatePipe(&hRead, &hWrite, &sa, 0))
        return false;
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);

    std::string cmd = "\"" + path + "\" " + args;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = hWrite;
    si.hStdError = bWithStderr ? hWrite : GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi;
    BOOL bStarted = CreateTestProcess(path, cmd, TRUE, &si, &pi);
    CloseHandle(hWrite); // the child holds the only write end now
    if (!bStarted) {
        CloseHandle(hRead);
        return false;
    }
    char buf[512];
    DWORD dwRead = 0;
    while (ReadFile(hRead, buf, sizeof buf, &dwRead, NULL) && dwRead > 0)
        pOutput->append(buf, dwRead);
    CloseHandle(hRead);
    return WaitProgram(&pi, dwTimeoutMs, pdwExitCode);
}

bool WaitProgram(PROCESS_INFORMATION* pPi, DWORD dwTimeoutMs, DWORD* pdwExitCode)
{
    bool bEnded = WaitForSingleObject(pPi->hProcess, dwTimeoutMs) == WAIT_OBJECT_0;
    if (bEnded && pdwExitCode != NULL)
        GetExitCodeProcess(pPi->hProcess, pdwExitCode);
    if (!bEnded)
        TerminateProcess(pPi->hProcess, 99);
    CloseHandle(pPi->hThread);
    CloseHandle(pPi->hProcess);
    return bEnded;
}

bool StartStandIn(const std::string& dir, const char* pszName, DWORD dwRunMs,
                  PROCESS_INFORMATION* pPi)
{
    std::string path = dir + "\\" + pszName;
    if (!CopyFileA(BinPath("standin.exe").c_str(), path.c_str(), FALSE))
        return false;
    if (!StartProgram(path, "--ms " + std::to_string(dwRunMs), pPi))
        return false;
    // Ready once its stop event exists; a stop sent earlier would be lost.
    char szEvent[MAX_PATH];
    StandInStopEventName(pszName, szEvent, sizeof szEvent);
    for (int i = 0; i < 1000; ++i) {
        HANDLE hStop = OpenEventA(SYNCHRONIZE, FALSE, szEvent);
        if (hStop != NULL) {
            CloseHandle(hStop);
            return true;
        }
        Sleep(10);
    }
    WaitProgram(pPi, 0, NULL);
    return false;
}

void StopStandIns(const char* pszName)
{
    char szEvent[MAX_PATH];
    StandInStopEventName(pszName, szEvent, sizeof szEvent);
    HANDLE hStop = CreateEventA(NULL, TRUE, FALSE, szEvent);
    if (hStop != NULL) {
        SetEvent(hStop);
        CloseHandle(hStop);
    }
}

ScopedStandIn::ScopedStandIn(const std::string& dir, const char* pszName) : m_pszName(pszName)
{
    m_bStarted = StartStandIn(dir, pszName, 60000, &m_pi);
}

ScopedStandIn::~ScopedStandIn()
{
    Stop();
}

void ScopedStandIn::Stop()
{
    if (!m_bStarted)
        return;
    StopStandIns(m_pszName);
    WaitProgram(&m_pi, 10000, NULL);
    m_bStarted = false;
}

static std::string TodayDigits()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    char sz[16];
    snprintf(sz, sizeof sz, "%04u%02u%02u%02u", st.wYear, st.wMonth, st.wDay, st.wDayOfWeek);
    return sz;
}

std::string TodaySetupLogPath()
{
    return "c:\\KelvoLog\\setup" + TodayDigits() + ".log";
}

std::string TodayModuleLogPath(const char* pszModule)
{
    return std::string("c:\\KelvoLog\\stp_") + pszModule + TodayDigits() + ".log";
}

std::string WorkFile(const char* pszName)
{
    return std::string(kWorkDir) + "\\" + pszName;
}

// The entry at pszPath and whatever was set aside beside it (<path>.*),
// files and directories alike.
static void RemoveWithSetAside(const char* pszPath)
{
    RemoveTree(pszPath);
    DeleteFileA(pszPath);
    std::string dir(pszPath, strrchr(pszPath, '\\') - pszPath);
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((std::string(pszPath) + ".*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string aside = dir + "\\" + fd.cFileName;
        RemoveTree(aside);
        DeleteFileA(aside.c_str());
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

void RemoveWorkDirs()
{
    RemoveWithSetAside(kWorkDir);
}

void RemoveLogDir()
{
    RemoveWithSetAside("c:\\KelvoLog");
}

static const char kPlantedRecord[] = "C:\\tmp\\kelvo-planted-loaded.txt";

bool PlantDlls(const std::string& dir)
{
    static const char* const kNames[] = {"version.dll", "dbghelp.dll",   "uxtheme.dll",
                                         "dwmapi.dll",  "cryptbase.dll", "cryptsp.dll",
                                         "rsaenh.dll",  "msimg32.dll",   "textshaping.dll"};
    DeleteFileA(kPlantedRecord);
    for (const char* pszName : kNames) {
        if (!CopyFileA(BinPath("kelvo_planted.dll").c_str(), (dir + "\\" + pszName).c_str(), FALSE))
            return false;
    }
    return true;
}

std::string PlantedDllLoads()
{
    return ReadOr(kPlantedRecord, "");
}

void ResetInstalledClient()
{
    static const char* const kKeys[] = {
        CLIENT_UNINSTALL_KEY,
        CLIENT_OLDER_UNINSTALL_KEY,
        CLIENT_REG_KEY,
    };
    for (const char* pszKey : kKeys)
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, pszKey);
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CLIENT_OLD_REG_KEY, 0, KEY_WRITE, &hKey) == 0) {
        for (const char* pszValue :
             {CLIENT_PROTECTED_VALUE, CLIENT_PASSWORD_VALUE, SETUP_FLAG_VALUE})
            RegDeleteValueA(hKey, pszValue);
        RegCloseKey(hKey);
    }
    char szCommon[MAX_PATH] = "C:\\Program Files\\Common Files";
    GetEnvironmentVariableA("CommonProgramFiles", szCommon, sizeof szCommon);
    for (const char* pszDir : {"\\Kelvo", "\\Ostmarin"})
        RemoveTree(std::string(szCommon) + pszDir);
    RemoveTree("C:\\Program Files\\Kelvo");
}

HANDLE HoldInstanceEvent(const char* pszOwner, bool bGlobal)
{
    std::string sddl = std::string("O:") + pszOwner + "D:(A;;GA;;;WD)";
    PSECURITY_DESCRIPTOR pSd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &pSd,
                                                              NULL))
        return NULL;
    SECURITY_ATTRIBUTES sa = {sizeof sa, pSd, FALSE};
    std::string name = std::string(bGlobal ? "Global\\" : "") + kInstanceEvent;
    HANDLE hEvent = CreateEventA(&sa, FALSE, FALSE, name.c_str());
    LocalFree(pSd);
    return hEvent;
}
