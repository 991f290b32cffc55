// The lobe interface as the main frame hands it the commands its line
// received (message 0x479), on the user-interface thread.
#pragma once

#include <cstdint>
#include <string>

class ILobeCommands
{
public:
    virtual ~ILobeCommands() = default;
    // A command text with the file time it was received at.
    virtual void HandleCommand(const std::string& command, std::uint64_t time) = 0;
};
