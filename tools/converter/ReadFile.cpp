#include "tools/converter/ReadFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::converter {

using recording::CDatagramReader;
using recording::kFrameWords;
using recording::kHeaderSize;

namespace {
constexpr std::size_t kMaxFrame = CReadFile::kMaxBody + kFrameWords;
// Four longest frames: a refill moves less than one of them and reads the
// rest, so moving costs little beside reading.
constexpr std::size_t kWindow = 4 * kMaxFrame;
}  // namespace

CReadFile::~CReadFile()
{
    Close();
}

int CReadFile::Open(const std::string& path)
{
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat st
    {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return EISDIR;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_window.resize(kWindow);
    return 0;
}

void CReadFile::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pos = m_filled = 0;
    m_base = 0;
    m_eof = false;
    m_error = 0;
    m_skipped = 0;
}

bool CReadFile::Fill()
{
    const std::size_t left = m_filled - m_pos;
    std::memmove(m_window.data(), m_window.data() + m_pos, left);
    m_base += m_pos;
    m_pos = 0;
    m_filled = left;
    while (m_filled < m_window.size()) {
        const ssize_t n = ::read(m_fd, m_window.data() + m_filled, m_window.size() - m_filled);
        if (n > 0) {
            m_filled += std::size_t(n);
        } else if (n == 0) {
            m_eof = true;
            break;
        } else if (errno != EINTR) {
            m_error = errno;
            return false;
        }
    }
    return true;
}

bool CReadFile::Next(recording::SDatagramView& out)
{
    if (m_fd < 0 || m_error != 0)
        return false;
    for (;;) {
        // Refilled, the window holds a longest frame, or the file ends in it.
        if (!m_eof && m_filled - m_pos < kMaxFrame && !Fill())
            return false;
        const std::size_t left = m_filled - m_pos;
        if (left < kFrameWords + kHeaderSize) {
            m_skipped += left;
            m_pos = m_filled;
            return false;
        }
        const CDatagramReader here(m_window.data() + m_pos, std::min(left, kMaxFrame));
        if (here.FrameAt(0, out)) {
            out.offset = std::size_t(m_base + m_pos);
            m_pos += out.FrameSize();
            return true;
        }
        ++m_pos;
        ++m_skipped;
    }
}

}  // namespace zv::converter
