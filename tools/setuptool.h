// The release engineers' tool: one command per file, each taking the
// arguments that follow its own name.
#pragma once

// Exit codes shared by every command.
enum {
    TOOL_OK = 0,
    TOOL_FAILED = 1,
    TOOL_USAGE = 2,
};

// Prints the usage text to stderr and returns TOOL_USAGE.
int tool_Usage();

// The commands; argv holds the arguments after the command word.
int cmd_Vrf(int argc, char** argv);
int cmd_Pwd(int argc, char** argv);
