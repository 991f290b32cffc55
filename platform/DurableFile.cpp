#include "platform/DurableFile.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<unsigned> g_counter{0};

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process id of a temporary's name "<base>.<pid>-<n>.tmp", or 0 when the
// name is not one (or not of base).
pid_t OwnerOf(const std::string& name, const std::string& base)
{
    constexpr std::string_view suffix = ".tmp";
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return 0;
    const std::string stem = name.substr(0, name.size() - suffix.size());
    const std::size_t dash = stem.rfind('-');
    const std::size_t dot = stem.rfind('.', dash);
    if (dash == std::string::npos || dot == std::string::npos || dot + 1 >= dash || dash + 1 >= stem.size())
        return 0;
    if (!base.empty() && stem.substr(0, dot) != base)
        return 0;
    for (std::size_t i = dot + 1; i < stem.size(); ++i)
        if (i != dash && (stem[i] < '0' || stem[i] > '9'))
            return 0;
    if (dash - dot - 1 > 9)
        return 0;
    return pid_t(std::stol(stem.substr(dot + 1, dash - dot - 1)));
}

bool Alive(pid_t pid)
{
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH;
}

int WriteAll(int fd, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += std::size_t(n);
        else if (n == 0)
            return ENOSPC;
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

}  // namespace

std::string CDurableFile::TemporaryName(const std::string& path)
{
    return path + "." + std::to_string(::getpid()) + "-" + std::to_string(g_counter.fetch_add(1)) + ".tmp";
}

int CDurableFile::Replace(const std::string& path, std::string_view bytes)
{
    RemoveStaleTemporaries(FolderOf(path), BaseOf(path));
    const std::string temporary = TemporaryName(path);
    struct stat old
    {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0)
        return errno;
    int error = WriteAll(fd, bytes);
    // The umask narrowed the mode given to open; the old file's is wanted.
    if (!error && ::fchmod(fd, mode) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error && errno != EINTR)
        error = errno;
    if (!error && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temporary.c_str());
        return error;
    }
    return SyncFolderOf(path);
}

int CDurableFile::SyncFolderOf(const std::string& path)
{
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Some file systems cannot sync a folder; there is nothing more to do then.
    const int error = ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
    ::close(fd);
    return error;
}

int CDurableFile::RemoveStaleTemporaries(const std::string& folder, const std::string& base)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        const pid_t owner = OwnerOf(name, base);
        if (owner <= 0 || Alive(owner))
            continue;
        if (::unlink((folder + "/" + name).c_str()) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}
