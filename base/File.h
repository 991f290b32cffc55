// A binary file with the open flags and exceptions of the class library the
// settings and recording code was written against. Errors of Read, Write and
// Close are thrown as CFileException; Open reports them through its argument.
#pragma once

#include "platform/WinTypes.h"

#include <exception>
#include <string>

// Base of the exceptions that settings and file code throw and catch.
class CException : public std::exception
{
public:
    const char* what() const noexcept override { return "exception"; }
};

// Thrown after the user has already been told what went wrong; whoever
// catches it shows nothing more.
class CUserException : public CException
{
public:
    const char* what() const noexcept override { return "already reported"; }
};

class CFileException : public CException
{
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
    };

    CFileException() = default;
    CFileException(int cause, int osError, std::string fileName)
        : m_cause(cause), m_lOsError(osError), m_strFileName(std::move(fileName))
    {}

    // The cause that describes a failed system call's errno.
    static int OsErrorToCause(int osError);
    // Builds the exception for a failed system call on fileName.
    static CFileException FromOsError(int osError, const std::string& fileName);

    const char* what() const noexcept override;

    int m_cause = none;
    int m_lOsError = 0;
    std::string m_strFileName;

private:
    mutable std::string m_what;
};

class CFile
{
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        // Sharing is not enforced between processes here; writers replace
        // settings files by renaming, so readers never see a half file.
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeBinary = 0x8000,
    };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path; on failure returns FALSE and, when error is given, fills
    // it with the cause, the system error and the path.
    BOOL Open(const std::string& path, UINT flags, CFileException* error = nullptr);

    // Reads up to count bytes; fewer only at the end of the file.
    UINT Read(void* buffer, UINT count);
    // Writes all count bytes or throws (disk full, I/O error).
    void Write(const void* buffer, UINT count);

    ULONGLONG GetLength() const;
    ULONGLONG GetPosition() const;
    ULONGLONG SeekToBegin();

    // Makes written data durable (fsync).
    void Flush();
    // Closes; an error of the close itself is thrown.
    void Close();
    // Closes and ignores every error; for clean-up after a failure.
    void Abort();

    bool IsOpen() const { return m_fd >= 0; }
    int Handle() const { return m_fd; }
    const std::string& GetFilePath() const { return m_path; }

private:
    [[noreturn]] void Throw(int osError) const;

    int m_fd = -1;
    std::string m_path;
};
