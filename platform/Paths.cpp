#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string EnvText(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::string(value) : std::string();
}

std::string HomeFolder()
{
    std::string home = EnvText("HOME");
    if (!home.empty())
        return home;
    // A service started without HOME still has an account entry.
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr)
        return found->pw_dir;
    return "/tmp";
}

bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

}  // namespace

std::string CPaths::ModulePath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string CPaths::ProgramFolder()
{
    const std::string module = ModulePath();
    const size_t slash = module.rfind('/');
    if (slash == std::string::npos)
        return "./";
    return module.substr(0, slash + 1);
}

std::string CPaths::DataRoot()
{
    std::string root = EnvText("ZELVAR_DATA_ROOT");
    if (root.empty()) {
        // XDG says a relative XDG_DATA_HOME is invalid and must be ignored.
        std::string xdg = EnvText("XDG_DATA_HOME");
        if (xdg.empty() || xdg.front() != '/')
            xdg = Join(HomeFolder(), ".local/share");
        root = Join(xdg, "zelvar");
    }
    return WithTrailingSeparator(root);
}

std::string CPaths::InDataRoot(std::string_view path)
{
    if (path.empty() || path.front() == '/')
        return std::string(path);
    return Join(DataRoot(), path);
}

std::string CPaths::DeviceFolder()
{
    const std::string folder = EnvText("ZELVAR_DEVICE_DIR");
    return WithTrailingSeparator(folder.empty() ? std::string("/run/zelvar/dev") : folder);
}

std::string CPaths::MapWindowsPath(std::string_view path)
{
    std::string out;
    std::string_view rest = path;
    const bool hasDrive = path.size() >= 2 && path[1] == ':' &&
                          ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (hasDrive) {
        out = DataRoot();
        const char drive = static_cast<char>(path[0] & ~0x20);
        if (drive != 'C') {
            out += drive;
            out += '/';
        }
        rest = path.substr(2);
        while (!rest.empty() && IsSeparator(rest.front()))
            rest.remove_prefix(1);
    }
    for (char c : rest) {
        const char mapped = c == '\\' ? '/' : c;
        if (mapped == '/' && !out.empty() && out.back() == '/')
            continue;
        out += mapped;
    }
    return out;
}

std::string CPaths::Join(std::string_view folder, std::string_view name)
{
    if (folder.empty())
        return std::string(name);
    if (name.empty())
        return std::string(folder);
    std::string out(folder);
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    while (!name.empty() && name.front() == '/')
        name.remove_prefix(1);
    if (out != "/")
        out += '/';
    out += name;
    return out;
}

std::string CPaths::WithTrailingSeparator(std::string_view folder)
{
    std::string out(folder);
    if (!out.empty() && out.back() != '/')
        out += '/';
    return out;
}

bool CPaths::FolderExists(const std::string& folder)
{
    struct stat st
    {};
    return !folder.empty() && stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CPaths::FileExists(const std::string& path)
{
    struct stat st
    {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool CPaths::CreateFolder(const std::string& folder, std::string* errorText)
{
    if (folder.empty()) {
        if (errorText != nullptr)
            *errorText = "empty folder name";
        return false;
    }
    // Walk the path and create each missing level; a level that exists as a
    // file stops the walk with the system's reason.
    std::string path;
    size_t pos = 0;
    while (pos <= folder.size()) {
        size_t next = folder.find('/', pos);
        if (next == std::string::npos)
            next = folder.size();
        path = folder.substr(0, next);
        pos = next + 1;
        if (path.empty() || path == "." || path == "..")
            continue;
        if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            if (errorText != nullptr)
                *errorText = path + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!FolderExists(folder)) {
        if (errorText != nullptr)
            *errorText = folder + ": exists but is not a folder";
        return false;
    }
    return true;
}
