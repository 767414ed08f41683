#include "machine_registry.h"

static bool SetValue(const char* pszKey, const char* pszName, DWORD dwType, const void* pData,
                     DWORD cb)
{
    HKEY hKey;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, pszKey, &hKey) != ERROR_SUCCESS)
        return false;
    bool bOk = RegSetValueExA(hKey, pszName, 0, dwType, (const BYTE*)pData, cb) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

static bool ReadValue(const char* pszKey, const char* pszName, void* pData, DWORD* pcb)
{
    HKEY hKey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, &hKey) != ERROR_SUCCESS)
        return false;
    bool bOk = RegQueryValueExA(hKey, pszName, NULL, NULL, (BYTE*)pData, pcb) == ERROR_SUCCESS;
    RegCloseKey(hKey);
    return bOk;
}

bool SetMachineDword(const char* pszKey, const char* pszName, DWORD dwValue)
{
    return SetValue(pszKey, pszName, REG_DWORD, &dwValue, sizeof dwValue);
}

bool SetMachineString(const char* pszKey, const char* pszName, const std::string& value)
{
    return SetValue(pszKey, pszName, REG_SZ, value.c_str(), (DWORD)value.size() + 1);
}

bool ReadMachineDword(const char* pszKey, const char* pszName, DWORD* pdwValue)
{
    DWORD cb = sizeof *pdwValue;
    return ReadValue(pszKey, pszName, pdwValue, &cb);
}

bool ReadMachineString(const char* pszKey, const char* pszName, std::string* pValue)
{
    char sz[1024] = "";
    DWORD cb = sizeof sz - 1;
    if (!ReadValue(pszKey, pszName, sz, &cb))
        return false;
    *pValue = sz;
    return true;
}
