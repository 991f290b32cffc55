#include "recording/DatagramFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::recording {

CDatagramFile::~CDatagramFile()
{
    Close();
}

int CDatagramFile::CreateNew(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return m_lastError = errno;
    m_fd = fd;
    m_size = 0;
    m_path = path;
    m_lastError = 0;
    m_unsynced = false;
    return 0;
}

int CDatagramFile::Close()
{
    if (m_fd < 0)
        return 0;
    const int error = m_unsynced ? Sync() : 0;
    ::close(m_fd);
    m_fd = -1;
    return error;
}

int CDatagramFile::Sync()
{
    if (m_fd < 0)
        return EBADF;
    m_unsynced = false;
    return ::fdatasync(m_fd) == 0 ? 0 : errno;
}

int CDatagramFile::TakeSyncHandle()
{
    if (m_fd < 0 || !m_unsynced)
        return -1;
    const int handle = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    // Without a second handle the sync is done here, under the writer's lock.
    if (handle < 0)
        return Sync(), -1;
    m_unsynced = false;
    return handle;
}

int CDatagramFile::SyncAndClose(int handle)
{
    if (handle < 0)
        return 0;
    const int error = ::fdatasync(handle) == 0 ? 0 : errno;
    ::close(handle);
    return error;
}

CDatagramFile::EResult CDatagramFile::Write(std::span<const std::uint8_t> frame)
{
    if (m_fd < 0)
        return EResult::NotOpen;
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t n = ::write(m_fd, frame.data() + done, frame.size() - done);
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A write of 0 bytes to a regular file means no room is left.
        m_lastError = n == 0 ? ENOSPC : errno;
        if (done) {
            // Take the torn frame back off; the write position follows.
            if (::ftruncate(m_fd, m_size) != 0 || ::lseek(m_fd, m_size, SEEK_SET) < 0) {
                // The file cannot be mended: stop writing to it, so nothing
                // lands behind the torn frame.
                Close();
            }
        }
        const bool full = m_lastError == ENOSPC || m_lastError == EFBIG || m_lastError == EDQUOT;
        return full ? EResult::DiskFull : EResult::Error;
    }
    m_size += std::int64_t(frame.size());
    m_unsynced = true;
    return EResult::Ok;
}

CDatagramFile::EResult CDatagramFile::WriteText(std::string_view text)
{
    return Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::int64_t CDatagramFile::Size() const
{
    return m_fd >= 0 ? m_size : -1;
}

}  // namespace zv::recording
