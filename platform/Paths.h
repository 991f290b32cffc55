// Where the program finds its files on Linux.
//
// The program was laid out around a program folder that held both the shipped
// read-only files and writable folders ("Settings", "Diag"), and around drive
// paths such as "C:\QY310\history" kept in the settings. Here shipped files
// stay beside the executable, while everything the program writes lives under
// one data root, onto which drive paths are mapped.
//
// Folders returned by this class end with '/', so that a file name can be
// appended directly, as the settings code does with its folder texts.
#pragma once

#include <string>
#include <string_view>

class CPaths
{
public:
    // Full path of the running executable ("" when it cannot be read).
    static std::string ModulePath();

    // Folder of the running executable, for shipped read-only files.
    static std::string ProgramFolder();

    // Root of everything the program writes: $ZELVAR_DATA_ROOT when set,
    // else $XDG_DATA_HOME/zelvar, else ~/.local/share/zelvar.
    static std::string DataRoot();

    // A file the program writes of its own accord (a debug note, a dump):
    // a relative path lies within the data root, never in whatever folder
    // the program was started from. An absolute path stays, an empty one
    // stays empty (no file).
    static std::string InDataRoot(std::string_view path);

    // Folder in which devices ("\\.\Name") appear as sockets:
    // $ZELVAR_DEVICE_DIR when set, else /run/zelvar/dev. Machine-wide like
    // the machine hive, since one driver serves every user.
    static std::string DeviceFolder();

    // Maps a stored path onto this system: "C:\" (any case) becomes the data
    // root, another drive letter "D:\" becomes the data root's folder "D/",
    // and every backslash becomes '/'. Runs of separators collapse to one.
    // A path without a drive is only converted, so "/tmp/x" stays as it is.
    static std::string MapWindowsPath(std::string_view path);

    // Joins two path pieces with exactly one '/' between them. An empty
    // piece adds nothing; an absolute second piece is still appended, since
    // our callers join relative names onto folders.
    static std::string Join(std::string_view folder, std::string_view name);

    // Appends '/' unless the text already ends with one (or is empty).
    static std::string WithTrailingSeparator(std::string_view folder);

    // Creates the folder and every missing parent directly through the file
    // system, never through a shell. True when the folder exists afterwards.
    // On failure, errorText (when given) says why.
    static bool CreateFolder(const std::string& folder, std::string* errorText = nullptr);

    // True when the path names an existing directory.
    static bool FolderExists(const std::string& folder);

    // True when the path names an existing regular file.
    static bool FileExists(const std::string& path);
};
