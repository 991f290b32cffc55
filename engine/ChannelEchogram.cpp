// Echogram assembly, ping record, scope traces and the level-step finder of
// CChannel: everything a reader fetches of the current ping.
#include "engine/Channel.h"

#include "engine/EchogramColumn.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

using rawpower::kNoEcho;
using rawpower::Round;
using rawpower::Trunc;

namespace {

std::string UnknownTypeText(int reference)
{
    char text[64];
    std::snprintf(text, sizeof text, "Unknown Echogram Type (%d)", reference);
    return text;
}

}  // namespace

double CChannel::PingRangeLocked() const
{
    return m_ping.PowerCount * m_params.SampleDistance;
}

bool CChannel::GetPingSamples(std::int16_t* out, int n, double length, double start, int echogramType, int reference)
{
    std::optional<DepthReport> report;
    bool produced;
    {
        Lock lock(m_lock);
        produced = GetPingSamplesLocked(out, n, length, start, echogramType, reference, report);
    }
    if (report)
        DeliverDepth(*report);
    return produced;
}

bool CChannel::GetPingSamplesLocked(std::int16_t* out, int n, double length, double start, int echogramType,
                                    int reference, std::optional<DepthReport>& report)
{
    if (!out || n <= 0)
        return false;
    const double d = m_params.SampleDistance;
    IChannelLinks& links = Links();
    switch (reference) {
    case FromTransducer:
    case FromTransducer2: {
        RequestRangeLocked(start + length);
        const std::int16_t* src = EchogramLocked(echogramType);
        echogram::ResampleColumn(src, m_ping.PowerCount, d, start, length, out, n);
        return true;
    }
    case FromBottom: {
        const bool found = ProcessPingLocked(report);
        if (!found) {
            std::fill_n(out, n, kNoEcho);
            return false;
        }
        const double bottom = m_bottomDepth.load(std::memory_order_relaxed);
        RequestRangeLocked(bottom - start + length);
        const std::int16_t* src = EchogramLocked(echogramType);
        const double b = bottom - m_params.Draught() - m_ping.Motion[5] - links.GetDepthOffset();
        if (b > 0.0)
            echogram::ResampleColumn(src, m_ping.PowerCount, d, b - start, length, out, n);
        else
            std::fill_n(out, n, kNoEcho);
        return true;
    }
    case External: {
        const int m = std::min(n, kMaxExternalSamples);
        std::fill_n(out, n, kNoEcho);
        RequestRangeLocked(start + length);
        if (!(length > 0.0) || !(d > 0.001))
            return false;
        const std::int16_t* src = EchogramLocked(echogramType);
        const double h = m_slantCorrection ? links.GetSlantOffset(m_sourceName) : 0.0;
        if (h > 0.0)
            echogram::ResampleSlant(src, m_ping.PowerCount, d, start, length, h, out, m);
        else
            echogram::ResampleColumn(src, m_ping.PowerCount, d, start, length, out, m);
        return true;
    }
    default:
        std::fill_n(out, n, kNoEcho);
        return false;
    }
}

double CChannel::WindowStartLocked(double start, int reference) const
{
    if (reference == FromBottom) {
        const double bottom = m_found ? m_bottomDepth.load(std::memory_order_relaxed) : 0.0;
        return bottom > 0.0 ? bottom - start : 0.0;
    }
    return start;
}

void CChannel::GetPingRecord(ChannelPingRecord& out, double start, int reference)
{
    if (reference != FromTransducer && reference != FromBottom && reference != FromTransducer2) {
        Links().FatalError("Channel", __LINE__, UnknownTypeText(reference));
        out = ChannelPingRecord{};
        return;
    }
    Lock lock(m_lock);
    out = m_ping.Record;
    m_recordTaken = true;
    const double windowStart = WindowStartLocked(start, reference);
    RequestRangeLocked(windowStart + 100.0);
    const double d = m_params.SampleDistance;
    m_recordStart = d > 0.0 ? rawpower::ClampToInt(Round(windowStart / d)) : 0;
}

void CChannel::AddEchogramSamples(std::int16_t* out, int n, double start, int echogramType, int reference)
{
    if (!out || n <= 0)
        return;
    if (reference != FromTransducer && reference != FromBottom && reference != FromTransducer2) {
        Links().FatalError("Channel", __LINE__, UnknownTypeText(reference));
        std::fill_n(out, n, kNoEcho);
        return;
    }
    Lock lock(m_lock);
    const double d = m_params.SampleDistance;
    const double windowStart = WindowStartLocked(start, reference);
    RequestRangeLocked(windowStart + n * d);
    const std::int16_t* src = EchogramLocked(echogramType);
    const std::int64_t first = d > 0.0 ? Round(windowStart / d) : 0;
    for (int i = 0; i < n; ++i) {
        const std::int64_t k = first + i;
        out[i] = (k >= 0 && k < m_ping.PowerCount) ? src[k] : kNoEcho;
    }
}

void CChannel::AddReplaySamples(double* out, int n, double start, int reference)
{
    if (!out || n <= 0)
        return;
    Lock lock(m_lock);
    const double d = m_params.SampleDistance;
    const double windowStart = WindowStartLocked(start, reference);
    RequestRangeLocked(windowStart + n * d);
    const std::int16_t* src = EchogramLocked(m_firstType);
    const std::int64_t first = d > 0.0 ? Round(windowStart / d) : 0;
    for (int i = 0; i < n; ++i) {
        const std::int64_t k = first + i;
        out[i] = (k >= 0 && k < m_ping.PowerCount) ? src[k] * rawpower::kDbPerUnit : rawpower::kNoEchoDb;
    }
}

void CChannel::AddEchogramAngles(std::uint16_t* out, int n, double start, int reference)
{
    if (!out || n <= 0)
        return;
    Lock lock(m_lock);
    const double d = m_params.SampleDistance;
    const double windowStart = WindowStartLocked(start, reference);
    const std::int64_t first = d > 0.0 ? Round(windowStart / d) : 0;
    for (int i = 0; i < n; ++i) {
        const std::int64_t k = first + i;
        out[i] = (k >= 0 && k < m_ping.AngleCount) ? m_ping.Angles[static_cast<std::size_t>(k)] : std::uint16_t{0};
    }
}

void CChannel::UpdateDocument(IEchoIntegrator& integrator)
{
    std::optional<DepthReport> report;
    {
        Lock lock(m_lock);
        const std::int16_t* sv = EchogramLocked(Sv);
        ProcessPingLocked(report);
        integrator.IntegrateLayers(sv, m_ping.PowerCount, m_bottomDepth.load(std::memory_order_relaxed),
                                   m_params.SampleDistance, m_params.Draught(),
                                   std::max(1500.0 * m_params.PulseLength, 3.0));
    }
    if (report)
        DeliverDepth(*report);
}

double CChannel::FindLevelStep(double milliseconds)
{
    Lock lock(m_lock);
    const double si = m_params.SampleInterval;
    if (!(si > 0.0))
        return 0.0;
    const std::int64_t w = Trunc(milliseconds / 1000.0 / si);
    if (w < 1 || w > kMaxSamples)
        return 0.0;
    return echogram::FindLevelStep(m_ping.Power.data(), m_ping.PowerCount, static_cast<int>(w));
}

double CChannel::GetTraceRate()
{
    const std::uint32_t now = m_input.GetTraceCounter();
    Lock lock(m_lock);
    if (m_ping.TraceCount <= 2)
        return 0.0;
    // A unit hands a ping's traces before the ping is added: once it is,
    // the growth is the one from the ping before to this one.
    std::uint32_t growth = now - m_traceCounterAtPing;
    if (growth == 0 && m_tracedPings >= 2)
        growth = m_traceCounterAtPing - m_traceCounterBefore;
    if (growth == 0 || growth > 0x7fffffffu)
        return 0.0;
    return m_ping.TraceFloat / static_cast<double>(growth);
}

// The traces of a wide-band unit come as values in dB per sample; the
// variants differ in how a value is shown: as it stands, as linear power, as
// a 16-bit raw power word, as the power sum of both traces, or as the phase
// angle between them.
int CChannel::GetScopeTrace(TraceKind kind, int which, double* out, int maxCount, double start, double stop,
                            double& sampleDistance)
{
    Lock lock(m_lock);
    const double sv = m_soundVelocity.load(std::memory_order_relaxed);
    const double td = m_ping.TraceDouble * sv * 0.5;
    sampleDistance = td;
    if (!out || maxCount <= 0 || !(td > 0.0) || m_ping.TraceCount <= 0)
        return 0;
    const std::int64_t first = std::clamp<std::int64_t>(Round(start / td), 0, m_ping.TraceCount);
    const std::int64_t last = std::clamp<std::int64_t>(Round(stop / td), first, m_ping.TraceCount);
    const int count = static_cast<int>(std::min<std::int64_t>(last - first, maxCount));
    const std::vector<double>& a = which == 2 ? m_ping.Trace2 : m_ping.Trace1;
    const std::vector<double>& b = which == 2 ? m_ping.Trace1 : m_ping.Trace2;
    auto packed = [](double v) { return rawpower::Saturate16(Trunc(v)) * rawpower::kDbPerUnit; };
    for (int i = 0; i < count; ++i) {
        const auto k = static_cast<std::size_t>(first + i);
        switch (kind) {
        case TraceKind::Float:
            out[i] = a[k];
            break;
        case TraceKind::Linear:
            out[i] = std::pow(10.0, a[k] / 10.0);
            break;
        case TraceKind::Packed:
            out[i] = packed(a[k]);
            break;
        case TraceKind::Combined:
            out[i] = std::pow(10.0, packed(a[k]) / 10.0) + std::pow(10.0, packed(b[k]) / 10.0);
            break;
        case TraceKind::Angle:
            out[i] = std::atan2(m_ping.Trace2[k], m_ping.Trace1[k]);
            break;
        }
    }
    return count;
}

double CChannel::GetTraceStartTime()
{
    const double envSv = Links().GetSoundVelocity();
    Lock lock(m_lock);
    const double td = m_ping.TraceDouble * m_soundVelocity.load(std::memory_order_relaxed) * 0.5;
    return envSv > 0.0 ? td / (envSv * 0.5) : 0.0;
}
