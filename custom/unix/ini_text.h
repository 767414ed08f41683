// The private-profile functions' work on an INI file's text, for the Linux
// tool: reading one value and setting one, as Windows does for what the
// tool's commands ask. Sections and keys match without regard to the case
// of ASCII letters and to blanks around them; a value is read without its
// surrounding blanks and one pair of matching quotes. Setting edits the text
// in place: the key's line becomes "key=value", a new key follows the
// section's last line of text, a new section is appended; every other byte
// stays as it was. The section "" holds what stands before the first
// section header.
#pragma once

#include <string>

// The value, or false when the section has no such key.
bool ini_GetValue(const std::string& text, const char* pszSection, const char* pszKey,
                  std::string* pValue);
// The text with the key set to pszValue.
std::string ini_SetValue(const std::string& text, const char* pszSection, const char* pszKey,
                         const char* pszValue);
