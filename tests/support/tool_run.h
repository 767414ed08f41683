// Runs the real setuptool.exe and keeps what it printed.
#pragma once

#include <windows.h>
#include <string>

struct ToolRun {
    DWORD dwExit = 99;
    std::string out; // standard output and standard error, CRs removed
};

ToolRun Tool(const std::string& args);
