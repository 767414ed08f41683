// The demo programs read their behaviour from an INI file beside them, so a
// package can carry a demo that runs longer, fails or skips a step.
#pragma once

#include <windows.h>
#include <string>

// dir\name of a file beside the running program.
std::string BesideSelf(const char* pszName);
// The running program's path with its ".exe" replaced by pszExtension.
std::string BesideSelfAs(const char* pszExtension);
int DemoOption(const std::string& iniPath, const char* pszKey, int nDefault);
std::string DemoText(const std::string& iniPath, const char* pszKey, const char* pszDefault);
// Appends "key=value" lines to a record file beside the program.
void DemoRecord(const std::string& recordPath, const std::string& line);
// Records where the program runs: "cwd=<current directory>", and
// "optional_dll=<path>" for the optional plug-in kelvo_optional.dll that it
// asks for by its bare name, as installers do ("none" when none is found).
void DemoRecordSurroundings(const std::string& recordPath);
