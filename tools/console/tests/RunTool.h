// Runs a console tool as its own process, in the test's environment (so
// that it sees the test's hives), and collects its standard output and exit
// code.
#pragma once

#include "platform/Registry.h"

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <vector>

struct ToolOutcome
{
    int exitCode = -1000;
    std::string output;
};

// Each argument is passed as one word; prefix words (such as a command that
// drops rights) come before the tool.
inline ToolOutcome RunTool(const char* path, const std::vector<std::string>& args,
                           const std::vector<std::string>& prefix = {})
{
    const auto quoted = [](const std::string& word) {
        std::string q = "'";
        for (char c : word)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    std::string command;
    for (const auto& p : prefix)
        command += quoted(p) + " ";
    command += quoted(path);
    for (const auto& a : args)
        command += " " + quoted(a);
    ToolOutcome out;
    RegistryResetStore();  // the tool is the only user of the files while it runs
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return out;
    char buffer[512];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.output.append(buffer, n);
    const int status = ::pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1000;
    return out;
}
