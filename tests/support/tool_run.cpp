#include "tool_run.h"
#include "test_env.h"

ToolRun Tool(const std::string& args)
{
    ToolRun run;
    std::string raw;
    if (!RunAndCapture(BinPath("setuptool.exe"), args, 60000, &run.dwExit, &raw, true))
        raw = "<setuptool did not run>";
    for (char c : raw) {
        if (c != '\r')
            run.out += c;
    }
    return run;
}
