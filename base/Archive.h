// Binary archive of settings and layouts.
//
// An object's Serialize writes or reads its fields in a fixed order through
// this class; the archive owns the byte order (little-endian), the string
// encoding and the buffering. It works on an open CFile or on a byte vector
// in memory (used to snapshot an object before a load, and by tests).
//
// Strings are stored as the class library stored its strings, so files keep
// one format: a length below 0xFF as one byte; else 0xFF and a 16-bit length
// below 0xFFFE; else 0xFF, 0xFFFF and a 32-bit length; then the bytes. A
// 16-bit 0xFFFE after 0xFF marks a string of UTF-16 units, which is read and
// turned into UTF-8.
#pragma once

#include "base/File.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class CArchiveException : public CException
{
public:
    enum Cause {
        none = 0,
        genericException = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7,
    };

    explicit CArchiveException(int cause = none, std::string fileName = {})
        : m_cause(cause), m_strFileName(std::move(fileName))
    {}
    const char* what() const noexcept override;

    int m_cause;
    std::string m_strFileName;
};

class CArchive
{
public:
    enum Mode : UINT { store = 0, load = 1, bNoFlushOnDelete = 2 };

    // An archive on an open file. The file stays owned by the caller.
    CArchive(CFile* file, UINT mode, int bufferSize = 4096);
    // An archive on memory: storing appends to buffer, loading reads it from
    // the start. The vector must outlive the archive.
    CArchive(std::vector<BYTE>& buffer, UINT mode);
    // A loading archive on bytes that stay owned by the caller.
    CArchive(const BYTE* data, size_t size);

    // Flushes a storing archive unless bNoFlushOnDelete was given; errors of
    // that flush are swallowed (call Close to see them).
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    BOOL IsLoading() const { return m_loading ? TRUE : FALSE; }
    BOOL IsStoring() const { return m_loading ? FALSE : TRUE; }
    CFile* GetFile() const { return m_file; }

    // Reads up to count bytes, fewer only at the end of the data.
    UINT Read(void* buffer, UINT count);
    // Writes count bytes (buffered for a file).
    void Write(const void* buffer, UINT count);

    // Writes buffered bytes to the file (storing archives only).
    void Flush();
    // Flushes and detaches from the file; the archive is unusable afterwards.
    void Close();
    // Detaches without writing what is buffered.
    void Abort();

    CArchive& operator<<(BYTE v);
    CArchive& operator<<(char v) { return *this << static_cast<BYTE>(v); }
    CArchive& operator<<(std::int8_t v) { return *this << static_cast<BYTE>(v); }
    CArchive& operator<<(WORD v);
    CArchive& operator<<(std::int16_t v) { return *this << static_cast<WORD>(v); }
    CArchive& operator<<(DWORD v);
    CArchive& operator<<(LONG v) { return *this << static_cast<DWORD>(v); }
    CArchive& operator<<(ULONGLONG v);
    CArchive& operator<<(LONGLONG v) { return *this << static_cast<ULONGLONG>(v); }
    CArchive& operator<<(unsigned long long v) { return *this << static_cast<ULONGLONG>(v); }
    CArchive& operator<<(long long v) { return *this << static_cast<ULONGLONG>(v); }
    CArchive& operator<<(float v);
    CArchive& operator<<(double v);
    // A bool travels as a 4-byte BOOL.
    CArchive& operator<<(bool v) { return *this << static_cast<LONG>(v ? 1 : 0); }
    CArchive& operator<<(const std::string& v);
    CArchive& operator<<(const char* v) { return *this << std::string(v != nullptr ? v : ""); }

    CArchive& operator>>(BYTE& v);
    CArchive& operator>>(char& v);
    CArchive& operator>>(std::int8_t& v);
    CArchive& operator>>(WORD& v);
    CArchive& operator>>(std::int16_t& v);
    CArchive& operator>>(DWORD& v);
    CArchive& operator>>(LONG& v);
    CArchive& operator>>(ULONGLONG& v);
    CArchive& operator>>(LONGLONG& v);
    CArchive& operator>>(unsigned long long& v);
    CArchive& operator>>(long long& v);
    CArchive& operator>>(float& v);
    CArchive& operator>>(double& v);
    // Any non-zero BOOL reads as true.
    CArchive& operator>>(bool& v);
    CArchive& operator>>(std::string& v);

private:
    void ReadExactly(void* buffer, size_t count);
    void CheckLoading() const;
    void CheckStoring() const;
    [[noreturn]] void ThrowEndOfFile() const;
    std::uint64_t ReadStringLength(bool& wide);
    std::string FileName() const;

    bool m_loading;
    bool m_flushOnDelete;
    CFile* m_file = nullptr;
    std::vector<BYTE>* m_memory = nullptr;  // storing or loading in memory
    const BYTE* m_data = nullptr;           // loading from memory
    size_t m_dataSize = 0;
    size_t m_dataPos = 0;
    std::vector<BYTE> m_buffer;  // file buffer
    size_t m_bufferPos = 0;
    size_t m_bufferEnd = 0;
    bool m_closed = false;
};
