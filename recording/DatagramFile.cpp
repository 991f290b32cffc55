#include "recording/DatagramFile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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
    const Pieces pieces(&frame, 1);
    return WriteFrames(std::span(&pieces, 1));
}

CDatagramFile::EResult CDatagramFile::WriteFrames(std::span<const Pieces> frames)
{
    if (m_fd < 0)
        return EResult::NotOpen;
    EResult result = EResult::Ok;
    // A file that could not be mended after a failure is closed: nothing
    // more goes in then.
    while (!frames.empty() && m_fd >= 0) {
        std::size_t whole = 0;
        const EResult r = Append(frames, whole);
        if (r == EResult::Ok)
            break;
        if (result == EResult::Ok)
            result = r;
        // The frame that did not fit is left out; a later, smaller one may.
        frames = frames.subspan(whole + 1);
    }
    return result;
}

CDatagramFile::EResult CDatagramFile::Append(std::span<const Pieces> frames, std::size_t& whole)
{
    std::size_t total = 0;
    for (const Pieces& frame : frames)
        for (const auto& piece : frame)
            total += piece.size();
    // What is left from done on, in as many vectors as one call takes; a
    // piece written in part goes on from where it stopped.
    constexpr int kGather = 128;
    std::array<iovec, kGather> iov;
    const auto gather = [&](std::size_t done) {
        int count = 0;
        for (const Pieces& frame : frames)
            for (const auto& piece : frame) {
                if (done >= piece.size()) {
                    done -= piece.size();
                    continue;
                }
                if (count == kGather)
                    return count;
                iov[std::size_t(count++)] = {const_cast<std::uint8_t*>(piece.data()) + done, piece.size() - done};
                done = 0;
            }
        return count;
    };
    std::size_t done = 0;
    while (done < total) {
        const ssize_t n = ::writev(m_fd, iov.data(), gather(done));
        if (n > 0) {
            done += std::size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // A write of 0 bytes to a regular file means no room is left.
        m_lastError = n == 0 ? ENOSPC : errno;
        // The frames that went in whole stay; the torn one is taken back
        // off, and the write position follows.
        std::size_t kept = 0;
        for (whole = 0; whole < frames.size(); ++whole) {
            std::size_t size = 0;
            for (const auto& piece : frames[whole])
                size += piece.size();
            if (kept + size > done)
                break;
            kept += size;
        }
        if (kept) {
            m_size += std::int64_t(kept);
            m_unsynced = true;
        }
        if (done > kept && (::ftruncate(m_fd, m_size) != 0 || ::lseek(m_fd, m_size, SEEK_SET) < 0)) {
            // The file cannot be mended: stop writing to it, so nothing
            // lands behind the torn frame.
            Close();
        }
        const bool full = m_lastError == ENOSPC || m_lastError == EFBIG || m_lastError == EDQUOT;
        return full ? EResult::DiskFull : EResult::Error;
    }
    m_size += std::int64_t(total);
    m_unsynced = true;
    whole = frames.size();
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
