// Files that survive a crash or a power cut whole: a new version is written
// beside the old one under a temporary name, synced, renamed over it and the
// folder synced, so that at any moment the name holds either the old file or
// the new one, never a part. A temporary left by a process that died before
// its rename is removed by the next writer of that name, or by a sweep of
// its folder.
#pragma once

#include <string>
#include <string_view>

class CDurableFile
{
public:
    // "<path>.<pid>-<n>.tmp": unique within the machine while the process lives.
    static std::string TemporaryName(const std::string& path);

    // Replaces the file's contents with bytes. 0 on success, else the errno
    // of the step that failed; the old file is untouched then. A file that
    // exists keeps its permissions.
    static int Replace(const std::string& path, std::string_view bytes);

    // Makes a rename or a creation in the folder of path durable. 0 or errno.
    static int SyncFolderOf(const std::string& path);

    // Removes the temporaries in folder (of every name, or only of the file
    // named base when given) whose process is gone; answers how many.
    static int RemoveStaleTemporaries(const std::string& folder, const std::string& base = {});
};
