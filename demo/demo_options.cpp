// What the demo programs share: their INI options and record files beside
// them.
#include "demo_options.h"

std::string BesideSelf(const char* pszName)
{
    char szPath[MAX_PATH];
    DWORD cch = GetModuleFileNameA(NULL, szPath, sizeof szPath);
    std::string self(szPath, cch);
    return self.substr(0, self.rfind('\\') + 1) + pszName;
}

std::string BesideSelfAs(const char* pszExtension)
{
    char szPath[MAX_PATH];
    DWORD cch = GetModuleFileNameA(NULL, szPath, sizeof szPath);
    std::string self(szPath, cch);
    return self.substr(0, self.rfind('.')) + pszExtension;
}

int DemoOption(const std::string& iniPath, const char* pszKey, int nDefault)
{
    return (int)GetPrivateProfileIntA("Demo", pszKey, nDefault, iniPath.c_str());
}

std::string DemoText(const std::string& iniPath, const char* pszKey, const char* pszDefault)
{
    char sz[256];
    GetPrivateProfileStringA("Demo", pszKey, pszDefault, sz, sizeof sz, iniPath.c_str());
    return sz;
}

void DemoRecord(const std::string& recordPath, const std::string& line)
{
    HANDLE hFile = CreateFileA(recordPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, NULL,
                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    std::string text = line + "\r\n";
    DWORD dwWritten;
    WriteFile(hFile, text.data(), (DWORD)text.size(), &dwWritten, NULL);
    CloseHandle(hFile);
}

void DemoRecordSurroundings(const std::string& recordPath)
{
    char sz[MAX_PATH] = "";
    DWORD cch = GetCurrentDirectoryA(sizeof sz, sz);
    DemoRecord(recordPath, "cwd=" + std::string(sz, cch < sizeof sz ? cch : 0));
    HMODULE hOptional = LoadLibraryA("kelvo_optional.dll");
    cch = hOptional != NULL ? GetModuleFileNameA(hOptional, sz, sizeof sz) : 0;
    DemoRecord(recordPath,
               "optional_dll=" + (cch > 0 ? std::string(sz, cch) : std::string("none")));
    if (hOptional != NULL)
        FreeLibrary(hOptional);
}
