#include "fuzz/support/MemoryFile.h"

#include <stdexcept>
#include <sys/mman.h>
#include <unistd.h>

CMemoryFile::CMemoryFile(std::string_view contents)
{
    m_fd = ::memfd_create("zvfuzz", MFD_CLOEXEC);
    if (m_fd < 0)
        throw std::runtime_error("memfd_create failed");
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(m_fd, contents.data() + done, contents.size() - done);
        if (n <= 0)
            throw std::runtime_error("cannot fill a memory file");
        done += static_cast<std::size_t>(n);
    }
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
}

CMemoryFile::~CMemoryFile()
{
    ::close(m_fd);
}

std::string CMemoryFile::Contents() const
{
    std::string out;
    char buffer[4096];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, at);
        if (n <= 0)
            return out;
        out.append(buffer, static_cast<std::size_t>(n));
        at += n;
    }
}
