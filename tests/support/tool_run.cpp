#include "tool_run.h"
#include "test_env.h"

ToolRun Tool(const std::string& args)
{
    return ToolAt(BinPath("setuptool.exe"), args);
}

ToolRun ToolAt(const std::string& exePath, const std::string& args)
{
    ToolRun run;
    std::string raw;
    if (!RunAndCapture(exePath, args, 60000, &run.dwExit, &raw, true))
        raw += "<setuptool did not run or end: error " + std::to_string(GetLastError()) + ">";
    for (char c : raw) {
        if (c != '\r')
            run.out += c;
    }
    return run;
}
