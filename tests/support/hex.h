// Bytes as hex text and back. Pure code, shared by the Wine and native tests.
#pragma once

#include <string>

std::string ToHex(const std::string& bytes);
// Bytes from hex text; false when the text is not an even run of hex digits.
bool FromHex(const char* pszHex, std::string* pBytes);
