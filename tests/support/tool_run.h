// Runs the real setuptool.exe and keeps what it printed.
#pragma once

#include <windows.h>
#include <string>

struct ToolRun {
    DWORD dwExit = 99;
    std::string out; // standard output and standard error, CRs removed
};

ToolRun Tool(const std::string& args);
// The same for a copy of setuptool.exe elsewhere, for the commands that read
// files beside the program itself.
ToolRun ToolAt(const std::string& exePath, const std::string& args);
