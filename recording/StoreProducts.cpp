// The recorder's side products: xyz lines, the txt file, the geo file, the
// echogram storage (dg) and the xtf sonar file. Each file is written only
// under its lock, held from the check that its product is on to the end of
// its record, and each record is written whole or not at all.
#include "recording/ProductRecords.h"
#include "recording/Store.h"
#include "recording/XtfRecords.h"

#include "platform/Paths.h"

#include <algorithm>
#include <array>

namespace zv::recording {

namespace {

constexpr std::int16_t kNoData = -20000;

std::string WithoutExtension(const std::string& name)
{
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

}  // namespace

bool CStore::OpenProduct(CDatagramFile& file, const std::string& extension)
{
    if (m_sounder.ChannelCount() == 0)
        return false;
    std::string folder, stem;
    if (m_sounder.IsReplaying()) {
        std::string replayFolder, replayName;
        {
            std::lock_guard lock(m_stateLock);
            replayFolder = m_replayFolder;
            replayName = m_replayName;
        }
        // The replayed file's name comes when the replay has opened it; until
        // then the product waits for its next record rather than holding up
        // the thread that writes.
        if (replayName.empty())
            return false;
        folder = replayFolder.empty() ? RecordingFolder()
                                      : CPaths::WithTrailingSeparator(CPaths::MapWindowsPath(replayFolder));
        stem = WithoutExtension(replayName) + FrequencySuffix(extension);
    } else {
        folder = RecordingFolder();
        stem = MakeFileName(extension);
    }
    return CreateWithFallback(file, folder, stem, extension);
}

bool CStore::OpenXtf()
{
    if (!OpenProduct(m_xtf, "xtf"))
        return false;
    m_xtfPingCounter = 0;
    m_xtfChannels.clear();
    SXtfFileHeader header;
    header.programName = m_sounder.ProgramName();
    header.version = m_sounder.FileVersionText();
    header.fileName = WithoutExtension(GetFileName(m_xtf.Path()));
    // The channels of a side-looking echogram, each on its side.
    for (std::size_t i = 0, n = m_sounder.ChannelCount(); i < n && m_xtfChannels.size() < CXtfRecords::kMaxChannels;
         ++i) {
        SProductChannel ch;
        SConfigChannel config;
        if (!m_sounder.GetProductChannel(i, ch) || (ch.side != 0 && ch.side != 1) ||
            !m_sounder.GetConfigChannel(i, config))
            continue;
        SXtfChannelInfo info;
        info.side = ch.side;
        info.name = ch.name;
        info.frequency = config.frequency;
        // The fourth and fifth values of the transceiver's channel record.
        info.horizBeamAngle = config.beamWidthAlong;
        info.beamWidth = config.beamWidthAthwart;
        info.offsetX = config.transducerX;
        info.offsetY = config.transducerY;
        info.offsetZ = config.transducerZ;
        info.offsetYaw = config.transducerAzimuth;
        info.offsetPitch = config.transducerPitch;
        info.offsetRoll = config.transducerRoll;
        header.channels.push_back(info);
        m_xtfChannels.push_back(i);
    }
    const std::vector<std::uint8_t> bytes = CXtfRecords::BuildFileHeader(header);
    if (Write(m_xtf, bytes))
        return true;
    // Records behind a missing header would make no file: the next ping
    // starts a new one.
    CloseTarget(m_xtf);
    return false;
}

void CStore::WriteEchogramStorage()
{
    std::uint32_t ns, nb, tvg;
    double surfaceRange, surfaceStart, bottomRange, bottomStart;
    bool on[4];
    {
        std::lock_guard lock(m_stateLock);
        ns = m_settings.echogramSurfaceCount;
        nb = m_settings.echogramBottomCount;
        tvg = m_settings.tvgType;
        surfaceRange = m_settings.echogramRangeSurface;
        surfaceStart = m_settings.echogramRangeSurfaceStart;
        bottomRange = m_settings.echogramRangeBottom;
        bottomStart = m_settings.echogramRangeBottomStart;
        for (int i = 0; i < 4; ++i)
            on[i] = m_settings.echogram[i] != 0;
    }
    if (std::uint64_t(ns) + nb > CProductRecords::kDgMaxSamples)
        return;
    if (m_dgRecords.size() < 4)
        m_dgRecords.resize(4);
    m_productSamples.resize(std::size_t(ns) + nb);
    std::int16_t* const surface = m_productSamples.data();
    std::int16_t* const bottom = surface + ns;
    std::size_t built = 0;
    for (std::size_t i = 0, n = m_sounder.ChannelCount(); i < 4 && i < n; ++i) {
        SProductChannel ch;
        if (!on[i] || !m_sounder.GetProductChannel(i, ch))
            continue;
        SDepthEntry depth;
        m_sounder.GetChannelDepth(i, depth);
        std::fill(m_productSamples.begin(), m_productSamples.end(), kNoData);
        if (ns)
            m_sounder.GetPingSamples(i, surface, int(ns), surfaceRange, surfaceStart, int(tvg), 0);
        if (nb)
            m_sounder.GetPingSamples(i, bottom, int(nb), bottomRange, bottomStart, int(tvg), 1);
        SDgHeader h;
        h.channel = i;
        h.pingTime = ch.lastPingTime;
        h.tvgType = tvg;
        h.bottomDepth = depth.depth;
        h.surfaceStart = surfaceStart;
        h.surfaceRange = surfaceRange;
        h.bottomStart = bottomStart;
        h.bottomRange = bottomRange;
        CProductRecords::BuildDgRecord(h, {surface, ns}, {bottom, nb}, m_dgRecords[built++]);
    }
    if (!built)
        return;
    std::lock_guard lock(m_echogramLock);
    if (!CurrentTargets().dg || (!m_dg.IsOpen() && !OpenProduct(m_dg, "dg")))
        return;
    for (std::size_t k = 0; k < built; ++k)
        Write(m_dg, m_dgRecords[k].Framed());
}

void CStore::WriteXyzLines()
{
    bool on[4];
    {
        std::lock_guard lock(m_stateLock);
        for (int i = 0; i < 4; ++i)
            on[i] = m_settings.xyz[i] != 0;
    }
    // Every channel's depth at the first channel's ping time.
    SProductChannel first;
    if (!m_sounder.GetProductChannel(0, first))
        return;
    std::array<SDepthEntry, 4> depths;
    std::size_t count = 0;
    for (std::size_t i = 0, n = m_sounder.ChannelCount(); i < 4 && i < n; ++i)
        if (on[i] && m_sounder.GetChannelDepth(i, depths[count]))
            ++count;

    std::lock_guard lock(m_xyzLock);
    if (!CurrentTargets().xyz)
        return;
    for (std::size_t k = 0; k < count; ++k)
        m_createXyz.AddDepth(depths[k].depth, depths[k].second, first.lastPingTime);
    for (std::string line = m_createXyz.NextLine(); !line.empty(); line = m_createXyz.NextLine()) {
        if (!m_xyz.IsOpen() && !OpenProduct(m_xyz, "xyz"))
            return;
        WriteText(m_xyz, line + "\r\n");
    }
}

void CStore::WriteTxtDepthLines()
{
    SProductChannel first;
    if (!m_sounder.GetProductChannel(0, first))
        return;
    std::vector<std::string> lines;
    for (std::size_t i = 0, n = m_sounder.ChannelCount(); i < n; ++i) {
        SProductChannel ch;
        SDepthEntry depth;
        if (m_sounder.GetProductChannel(i, ch) && m_sounder.GetChannelDepth(i, depth))
            lines.push_back(CProductRecords::TxtDepthLine(first.lastPingTime, depth.depth, ch.frequency));
    }
    std::lock_guard lock(m_txtLock);
    if (!CurrentTargets().txt || (!m_txt.IsOpen() && !OpenProduct(m_txt, "txt")))
        return;
    for (const std::string& line : lines)
        WriteText(m_txt, line);
}

void CStore::WriteXtfPing()
{
    if (!CurrentTargets().xtf)
        return;
    std::lock_guard lock(m_xtfLock);
    if (!CurrentTargets().xtf || (!m_xtf.IsOpen() && !OpenXtf()))
        return;
    std::array<SXtfPingChannel, CXtfRecords::kMaxChannels> channels;
    m_xtfSamples.resize(m_xtfChannels.size());
    for (std::size_t k = 0; k < m_xtfChannels.size(); ++k) {
        SProductChannel ch;
        // A listed channel without samples: no record for this ping.
        if (!m_sounder.GetProductChannel(m_xtfChannels[k], ch) || ch.sampleCount == 0)
            return;
        const std::uint32_t n = std::min(ch.sampleCount, CXtfRecords::kMaxSamples);
        std::vector<std::int16_t>& samples = m_xtfSamples[k];
        samples.assign(n, kNoData);
        m_sounder.GetPingSamples(m_xtfChannels[k], samples.data(), int(n), double(ch.sampleCount) * ch.rangePerSample,
                                 0.0, ch.firstEchogramType, 4);
        channels[k] = {ch.side, ch.sampleCount, ch.rangePerSample, ch.soundVelocity, ch.frequency, samples};
    }
    SXtfPing ping;
    ping.time = m_sounder.PingTime();
    ping.pingNumber = m_xtfPingCounter + 1;
    ping.soundVelocity = m_sounder.SoundVelocity();
    if (!m_sounder.PositionAtTime(ping.time, ping.shipY, ping.shipX))
        ping.shipY = ping.shipX = 0.0;
    ping.heading = m_sounder.HeadingAtTime(ping.time);
    CXtfRecords::BuildPingRecord(ping, std::span(channels.data(), m_xtfChannels.size()), m_xtfRecord);
    if (Write(m_xtf, m_xtfRecord))
        m_xtfPingCounter = ping.pingNumber;
}

void CStore::WriteGeoLine(const std::string& line)
{
    if (!CurrentTargets().geo)
        return;
    std::lock_guard lock(m_rawLock);
    if (!CurrentTargets().geo || (!m_geo.IsOpen() && !OpenProduct(m_geo, "geo")))
        return;
    WriteText(m_geo, line + "\r\n");
}

void CStore::SetHeaderValue(double antennaHeight)
{
    std::lock_guard lock(m_xyzLock);
    m_heightOffset = antennaHeight;
    m_createXyz.SetHeightOffset(antennaHeight);
}

void CStore::CloseProducts()
{
    {
        std::lock_guard lock(m_xyzLock);
        CloseTarget(m_xyz);
        // Positions and depths of a line that has ended place nothing in the
        // next one.
        m_createXyz = CCreateXyz();
        m_createXyz.SetHeightOffset(m_heightOffset);
    }
    {
        std::lock_guard lock(m_echogramLock);
        CloseTarget(m_dg);
    }
    {
        std::lock_guard lock(m_txtLock);
        CloseTarget(m_txt);
    }
    std::lock_guard lock(m_xtfLock);
    CloseTarget(m_xtf);
    m_xtfChannels.clear();
}

}  // namespace zv::recording
