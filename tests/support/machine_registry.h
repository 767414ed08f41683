// The prefix's HKEY_LOCAL_MACHINE as the installed client leaves it: values
// the tests set before a run and read after it.
#pragma once

#include "client_registry.h"

#include <windows.h>
#include <string>

// Create the key when needed; true when the value was written.
bool SetMachineDword(const char* pszKey, const char* pszName, DWORD dwValue);
bool SetMachineString(const char* pszKey, const char* pszName, const std::string& value);
// False when the key or value is missing.
bool ReadMachineDword(const char* pszKey, const char* pszName, DWORD* pdwValue);
bool ReadMachineString(const char* pszKey, const char* pszName, std::string* pValue);
