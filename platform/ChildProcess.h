// Runs another program and waits for it, without a shell: the words are
// handed over as they stand, so nothing in them is ever interpreted.
#pragma once

#include <string>
#include <vector>

class CChildProcess
{
public:
    static constexpr int kNotStarted = -1;

    // Runs argv[0] (searched on PATH when it has no '/') with the arguments
    // that follow and waits for it. Its exit code, or kNotStarted when it
    // could not be started (not installed, say) or did not exit normally.
    // Quiet: its output goes nowhere.
    static int Run(const std::vector<std::string>& argv, bool quiet = false);
};
