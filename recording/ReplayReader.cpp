#include "recording/ReplayReader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zv::recording {

CReplayReader::~CReplayReader()
{
    Close();
}

void CReplayReader::Close()
{
    if (m_data)
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    if (m_fd >= 0)
        ::close(m_fd);
    m_data = nullptr;
    m_fd = -1;
    m_size = 0;
    m_device = 0;
    m_inode = 0;
    Restart();
}

void CReplayReader::Restart()
{
    m_offset = m_skipped = m_damaged = 0;
    m_counter = m_pings = 0;
    m_endTime = 0;
    m_offsets.fill(0);
    m_pingNumbers.fill(0);
    m_times.fill(0);
    m_config = SConfiguration{};
}

bool CReplayReader::Open(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        Close();
        return false;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail(std::strerror(errno));
    struct stat st
    {};
    if (::fstat(fd, &st) != 0) {
        const int why = errno;
        ::close(fd);
        return fail(std::strerror(why));
    }
    // A replay that loops over one file opens it again at every loop. The
    // same file at the same size keeps its mapping: a shared mapping of the
    // file shows whatever a fresh one would, and its pages stay mapped
    // instead of being unmapped and faulted in once more. The descriptor
    // kept open holds the file, so no other file can come to have its
    // number meanwhile.
    if (m_data && st.st_dev == m_device && st.st_ino == m_inode && std::size_t(st.st_size) == m_size &&
        S_ISREG(st.st_mode)) {
        ::close(fd);
        Restart();
    } else {
        Close();
        m_fd = fd;
        if (!S_ISREG(st.st_mode))
            return fail("not a regular file");
        if (st.st_size <= 0)
            return fail("empty file");
        void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_SHARED, m_fd, 0);
        if (p == MAP_FAILED)
            return fail(std::strerror(errno));
        m_data = static_cast<const std::uint8_t*>(p);
        m_size = std::size_t(st.st_size);
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
    m_path = path;

    CDatagramReader reader(m_data, m_size);
    SDatagramView v;
    std::string why;
    if (!reader.FrameAt(0, v) || v.type != kTypeCON0)
        return fail("the file does not start with a configuration");
    if (!CDatagramReader::ParseConfiguration(v, m_config, &why))
        return fail(why);
    if (m_config.channels.empty())
        return fail("the configuration names no channel");
    return true;
}

bool CReplayReader::NextFrame(SDatagramView& v)
{
    CDatagramReader reader(m_data, m_size);
    reader.Seek(m_offset);
    const bool found = reader.Next(v);
    m_skipped += reader.SkippedBytes();
    m_offset = reader.Offset();
    return found;
}

void CReplayReader::BuildPositionTable()
{
    m_offsets.fill(0);
    m_pingNumbers.fill(0);
    m_times.fill(0);
    m_pings = 0;
    m_endTime = 0;
    if (!m_data)
        return;

    // First walk: the ping count, with the same resynchronisation that
    // playing uses, so positions and the table agree on damaged files.
    CDatagramReader reader(m_data, m_size);
    SDatagramView v;
    FileTime last = 0;
    bool any = false;
    while (reader.Next(v)) {
        if (v.type != kTypeRAW0)
            continue;
        if (!any || v.time != last)
            ++m_pings;
        any = true;
        last = v.time;
    }
    // Second walk: after ping k, the next slots whose share of the file
    // lies before k point at the ping that follows.
    const float step = float(m_pings / double(kPositions));
    int slot = 1;
    int k = -1;
    std::size_t pingStart = 0, lastPingStart = 0;
    reader = CDatagramReader(m_data, m_size);
    any = false;
    auto closePing = [&](std::size_t endOffset) {
        while (slot <= kPositions && float(slot) * step < float(k)) {
            m_offsets[std::size_t(slot)] = endOffset;
            m_pingNumbers[std::size_t(slot)] = k;
            m_times[std::size_t(slot)] = last;
            ++slot;
        }
    };
    while (reader.Next(v)) {
        if (v.type != kTypeRAW0)
            continue;
        if (!any || v.time != last) {
            if (any)
                closePing(v.offset);
            ++k;
            pingStart = v.offset;
            if (!any)
                m_times[0] = v.time;
            lastPingStart = pingStart;
        }
        any = true;
        last = v.time;
    }
    m_endTime = last;
    // Slots that no ping reached point at the last ping, so a seek to the
    // end of the slider plays the end of the file rather than its start.
    for (; slot <= kPositions && m_pings > 0; ++slot) {
        m_offsets[std::size_t(slot)] = lastPingStart;
        m_pingNumbers[std::size_t(slot)] = std::max(0, m_pings - 1);
        m_times[std::size_t(slot)] = m_endTime;
    }
    m_offset = 0;
    m_counter = 0;
}

void CReplayReader::Seek(int position)
{
    const int entry = std::clamp(position - 1, 0, kPositions - 1);
    m_offset = m_offsets[std::size_t(entry)];
    m_counter = m_pingNumbers[std::size_t(entry)];
}

bool CReplayReader::AtEnd() const
{
    return !m_data || m_size - m_offset < kFrameWords + kHeaderSize;
}

CReplayReader::SPingResult CReplayReader::ReadPing(IReplaySink& sink)
{
    SPingResult result;
    if (!m_data)
        return result;
    const std::size_t channels = m_config.channels.size();
    SDatagramView v;
    while (NextFrame(v)) {
        if (v.type == kTypeRAW0) {
            if (result.sawSample && v.time != result.pingTime) {
                m_offset = v.offset;  // the next ping's; left for the next call
                break;
            }
            SSampleView s;
            if (!CDatagramReader::ParseSample(v, s)) {
                ++m_damaged;
                continue;
            }
            if (!result.sawSample) {
                result.sawSample = true;
                result.pingTime = v.time;
                sink.OnPingStart(s);
            }
            if (s.header.channel >= 1 && s.header.channel <= channels)
                sink.OnSample(s);
            continue;
        }
        std::string text;
        if (v.type == kTypeSVP0) {
            std::uint32_t kind = 0;
            if (CDatagramReader::ParseProfile(v, kind, text))
                sink.OnProfile(kind, text, v.time);
            else
                ++m_damaged;
        } else if (v.type == kTypeNME0 || v.type == kTypeTAG0) {
            CDatagramReader::ParseText(v, text);
            if (!text.empty()) {
                if (v.type == kTypeNME0)
                    sink.OnSentence(text, v.time);
                else
                    sink.OnAnnotation(text, v.time);
            }
        } else if (v.type != kTypeCON0) {
            sink.OnUnknownDatagram(v.type);
        }
    }
    ++m_counter;
    // A file without samples has no pings to divide by: it is all played.
    result.position = m_pings > 0 ? std::min(kPositions, int(double(m_counter) / m_pings * kPositions)) : kPositions;
    return result;
}

}  // namespace zv::recording
