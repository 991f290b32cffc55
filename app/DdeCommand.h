// The open command that the file association hands to a running program:
// [open("<file>")]. A second start of the program sends the same text over
// the single-instance socket.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace app {

// The file name of an open command, or nullopt when the text is not one
// (another command, or no closing quote).
std::optional<std::string> ParseDdeOpenCommand(std::string_view command);

// The open command for a file, as the association writes it.
std::string MakeDdeOpenCommand(std::string_view file);

}  // namespace app
