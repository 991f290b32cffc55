// A recording file that takes whole datagram frames. A frame is either on
// disk entirely or not at all: when a write fails part-way (disk full, file
// size limit, I/O error) the file is cut back to where the frame began, so a
// reader always finds the file whole up to its last datagram. What is
// written reaches the disk when the file is synced: by Sync, by a sync
// handle taken for another thread, and always on Close.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace zv::recording {

class CDatagramFile
{
public:
    enum class EResult { Ok, DiskFull, Error, NotOpen };

    CDatagramFile() = default;
    ~CDatagramFile();
    CDatagramFile(const CDatagramFile&) = delete;
    CDatagramFile& operator=(const CDatagramFile&) = delete;

    // Creates a new file; never replaces one that exists (EEXIST then).
    // Returns 0 or the errno of the failure. Its folder entry is not synced
    // here: the caller has that done where a wait for the disk does no harm.
    int CreateNew(const std::string& path);
    // Syncs what was written since the last sync, then closes. 0, or the
    // errno of a sync that failed (the data may not be on the disk).
    int Close();
    bool IsOpen() const { return m_fd >= 0; }
    const std::string& Path() const { return m_path; }

    // Appends one frame. On DiskFull or Error the file keeps what it held
    // before the call; LastError() gives the errno.
    EResult Write(std::span<const std::uint8_t> frame);
    // A frame given as the pieces it is made of, in order.
    using Pieces = std::span<const std::span<const std::uint8_t>>;
    // Appends frames in order with as few system calls as they need (a
    // ping's datagrams in one), each whole or not at all: a frame that does
    // not fit is left out, the ones before it stay and the ones after it are
    // still tried. Ok when all went in, else the first failure.
    EResult WriteFrames(std::span<const Pieces> frames);
    // Appends plain text (the text products); the same cut-back applies.
    EResult WriteText(std::string_view text);
    // Size in bytes of what was written; -1 when closed or unknown.
    std::int64_t Size() const;
    int LastError() const { return m_lastError; }

    // Writes everything so far through to the disk. 0 or the errno.
    int Sync();
    // A second handle on the file when anything was written since the last
    // sync, so that another thread can wait for the disk without holding
    // the writer's lock; -1 when nothing is due. Give it to SyncAndClose.
    int TakeSyncHandle();
    static int SyncAndClose(int handle);

private:
    // Appends the frames up to the first that does not fit; whole counts them.
    EResult Append(std::span<const Pieces> frames, std::size_t& whole);

    int m_fd = -1;
    std::int64_t m_size = 0;
    std::string m_path;
    int m_lastError = 0;
    bool m_unsynced = false;
};

}  // namespace zv::recording
