#include "base/File.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

int CFileException::OsErrorToCause(int osError)
{
    switch (osError) {
    case 0:
        return none;
    case ENOENT:
        return fileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return badPath;
    case EMFILE:
    case ENFILE:
        return tooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
        return accessDenied;
    case EBADF:
        return invalidFile;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return diskFull;
    case EIO:
        return hardIO;
    case ESPIPE:
        return badSeek;
    default:
        return genericException;
    }
}

CFileException CFileException::FromOsError(int osError, const std::string& fileName)
{
    return CFileException(OsErrorToCause(osError), osError, fileName);
}

const char* CFileException::what() const noexcept
{
    try {
        m_what = m_strFileName + ": " + (m_lOsError != 0 ? std::strerror(m_lOsError) : "file error");
        return m_what.c_str();
    } catch (...) {
        return "file error";
    }
}

CFile::~CFile()
{
    Abort();
}

BOOL CFile::Open(const std::string& path, UINT flags, CFileException* error)
{
    Abort();
    int oflags = O_CLOEXEC;
    switch (flags & 3) {
    case modeWrite:
        oflags |= O_WRONLY;
        break;
    case modeReadWrite:
        oflags |= O_RDWR;
        break;
    default:
        oflags |= O_RDONLY;
        break;
    }
    if ((flags & modeCreate) != 0) {
        oflags |= O_CREAT;
        if ((flags & modeNoTruncate) == 0)
            oflags |= O_TRUNC;
    }
    int fd = -1;
    do {
        fd = ::open(path.c_str(), oflags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (error != nullptr)
            *error = CFileException::FromOsError(errno, path);
        return FALSE;
    }
    // Reading a directory would fail later with a less clear error.
    struct stat st
    {};
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error != nullptr)
            *error = CFileException::FromOsError(EISDIR, path);
        return FALSE;
    }
    m_fd = fd;
    m_path = path;
    return TRUE;
}

void CFile::Throw(int osError) const
{
    throw CFileException::FromOsError(osError, m_path);
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (m_fd < 0)
        Throw(EBADF);
    UINT done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(m_fd, out + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Throw(errno);
        }
        if (n == 0)
            break;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (m_fd < 0)
        Throw(EBADF);
    UINT done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(m_fd, in + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            Throw(errno);
        }
        if (n == 0)
            Throw(ENOSPC);
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::GetLength() const
{
    struct stat st
    {};
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        Throw(m_fd < 0 ? EBADF : errno);
    return static_cast<ULONGLONG>(st.st_size);
}

ULONGLONG CFile::GetPosition() const
{
    const off_t pos = m_fd < 0 ? -1 : lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        Throw(m_fd < 0 ? EBADF : errno);
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::SeekToBegin()
{
    if (m_fd < 0 || lseek(m_fd, 0, SEEK_SET) < 0)
        Throw(m_fd < 0 ? EBADF : errno);
    return 0;
}

void CFile::Flush()
{
    if (m_fd < 0)
        Throw(EBADF);
    if (fsync(m_fd) != 0 && errno != EINVAL)
        Throw(errno);
}

void CFile::Close()
{
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    // close() is not retried on EINTR: the descriptor is gone either way.
    if (::close(fd) != 0 && errno != EINTR)
        Throw(errno);
}

void CFile::Abort()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}
