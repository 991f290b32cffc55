// Reads a recorded raw file for replay: the whole file mapped read-only, its
// configuration, a table of 201 positions to seek by, and the datagrams up
// to the end of the next ping, handed to a sink in file order. Every offset
// is checked against the file's size; damaged stretches are skipped byte by
// byte, damaged bodies are passed over whole, and the rest plays.
#pragma once

#include "recording/DatagramReader.h"

#include <array>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace zv::recording {

class IReplaySink
{
public:
    virtual ~IReplaySink() = default;
    // The first sample datagram of a ping, before it is handed on.
    virtual void OnPingStart(const SSampleView& first) = 0;
    // A sample datagram of the current ping whose channel is 1..count.
    virtual void OnSample(const SSampleView& sample) = 0;
    virtual void OnSentence(const std::string& text, FileTime time) = 0;
    virtual void OnAnnotation(const std::string& text, FileTime time) = 0;
    virtual void OnProfile(std::uint32_t kind, const std::string& text, FileTime time) = 0;
    virtual void OnUnknownDatagram(std::uint32_t type) = 0;
};

class CReplayReader
{
public:
    static constexpr int kPositions = 200;  // slider positions 0..199; entries 0..200

    CReplayReader() = default;
    ~CReplayReader();
    CReplayReader(const CReplayReader&) = delete;
    CReplayReader& operator=(const CReplayReader&) = delete;

    // Maps the file and reads its configuration, which must be the first
    // datagram and name at least one channel. On failure *error says why.
    // The file mapped already, opened again at the same size, keeps its
    // mapping and starts over as if just mapped.
    bool Open(const std::string& path, std::string* error = nullptr);
    void Close();
    bool IsOpen() const { return m_data != nullptr; }
    const std::string& Path() const { return m_path; }
    const SConfiguration& Configuration() const { return m_config; }
    std::size_t Size() const { return m_size; }

    // Counts the pings (runs of sample datagrams with one time) and fills the
    // position table; the read offset goes back to the start.
    void BuildPositionTable();
    int PingsInFile() const { return m_pings; }
    FileTime StartTime() const { return m_times[0]; }
    FileTime EndTime() const { return m_endTime; }
    const std::array<FileTime, kPositions + 1>& PositionTimes() const { return m_times; }

    // Slider position p goes to entry p - 1, clamped to 0..199.
    void Seek(int position);

    struct SPingResult
    {
        bool sawSample = false;  // a sample datagram was met (this ping's or the next's)
        FileTime pingTime = 0;   // the time of this ping's first sample datagram
        int position = 0;        // 0..200 through the file
    };
    // Dispatches datagrams up to the end of the next ping. The sample
    // datagram that starts the following ping stays unread.
    SPingResult ReadPing(IReplaySink& sink);
    // No whole datagram can start at the read offset any more.
    bool AtEnd() const;
    std::size_t Offset() const { return m_offset; }
    int PingCounter() const { return m_counter; }
    // Frames passed over and bodies refused since the file was opened.
    std::size_t SkippedBytes() const { return m_skipped; }
    std::size_t DamagedDatagrams() const { return m_damaged; }

private:
    bool NextFrame(SDatagramView& v);
    // Back to the state of a file just mapped.
    void Restart();

    std::string m_path;
    int m_fd = -1;
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
    // The mapped file, to know it again.
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::size_t m_offset = 0;
    std::size_t m_skipped = 0;
    std::size_t m_damaged = 0;
    int m_counter = 0;
    SConfiguration m_config;

    int m_pings = 0;
    FileTime m_endTime = 0;
    std::array<std::size_t, kPositions + 1> m_offsets{};
    std::array<int, kPositions + 1> m_pingNumbers{};
    std::array<FileTime, kPositions + 1> m_times{};
};

}  // namespace zv::recording
