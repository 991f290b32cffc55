// The converter's input: an out file read front to back as one stream of
// datagrams. Reads go through a window of fixed size, so memory does not
// grow with the file, and the window always holds the longest frame that may
// start at the read position, so a datagram is found whole wherever the
// boundaries of the reads fall.
//
// A frame counts when its leading length L (from the 12 bytes of the header
// up to kMaxBody), its body and the trailing copy of L lie inside the file
// and the two lengths agree:
//     u32 L | "NME0" | u32 time low | u32 time high | ... | u32 L
// Anything else is passed over one byte at a time until a whole frame is
// found again.
#pragma once

#include "recording/DatagramReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zv::converter {

class CReadFile
{
public:
    // Longer than any body the recorder writes (a profile datagram, the
    // longest of an out file, holds at most 25,016 bytes).
    static constexpr std::size_t kMaxBody = std::size_t(1) << 20;

    CReadFile() = default;
    ~CReadFile();
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;

    // Opens the file for reading; 0, or the errno of the failure (EISDIR for
    // a folder).
    int Open(const std::string& path);
    void Close();

    // The next whole frame; its body stays valid until the next call. False
    // at the end of the file and on a read error, which Error() then gives.
    bool Next(recording::SDatagramView& out);
    int Error() const { return m_error; }
    // Bytes passed over because no whole frame started there.
    std::uint64_t SkippedBytes() const { return m_skipped; }

private:
    bool Fill();

    int m_fd = -1;
    std::vector<std::uint8_t> m_window;
    std::size_t m_pos = 0;     // read position in the window
    std::size_t m_filled = 0;  // bytes held by the window
    std::uint64_t m_base = 0;  // file offset of the window's first byte
    bool m_eof = false;
    int m_error = 0;
    std::uint64_t m_skipped = 0;
};

}  // namespace zv::converter
