// The desktop's side of the ".raw" file type: a MIME type for recorded
// files and, per model, a desktop entry that runs that model's link with
// the file, in the user's XDG data folder. Where the desktop's own tools are
// installed they are run to take the two in; where they are not, the files
// are still written and the tools quietly skipped.
#pragma once

#include <string>

namespace app {

class CDesktopAssociation
{
public:
    static constexpr const char* kMimeType = "application/x-zelvar-echosounder-raw";

    // The user's XDG data folder ($XDG_DATA_HOME, else ~/.local/share);
    // empty when neither can be found.
    static std::string DataHome();

    // The desktop entry's file name of a model: "zelvar-qy310.desktop".
    static std::string EntryName(const std::string& modelName);

    // The Exec line that runs the program at this path with one file.
    static std::string ExecLine(const std::string& programPath);

    // Writes the MIME type and the entry of the model that runs
    // programPath; runs the desktop's tools when a file changed, and makes
    // this model the one that opens recorded files. False when the data
    // folder is missing or cannot be written.
    static bool Write(const std::string& modelName, const std::string& programPath);
};

}  // namespace app
