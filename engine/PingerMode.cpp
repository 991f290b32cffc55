#include "engine/PingerMode.h"

#include "base/AppIds.h"
#include "engine/OperationDialogValues.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>

namespace {

void PutDouble(char* out, double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
}

double GetDouble(const unsigned char* in)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return std::bit_cast<double>(bits);
}

// Samples of a distance d at the sample interval (two-way, 750 m/s).
int SamplesOf(double metres, double sampleInterval)
{
    const double n = metres / (sampleInterval * 750.0);
    return n < 1e9 ? static_cast<int>(n) : 1000000000;
}

}  // namespace

CPingerMode::CPingerMode(IPingerModeHost& host) : m_host(host) {}

CPingerMode::~CPingerMode() = default;

bool CPingerMode::IsUsable(double value)
{
    return std::isfinite(value) && value > 0.0 && value <= SOperationDialogValues::kLargestValue;
}

bool CPingerMode::IsDistance(double value)
{
    return std::isfinite(value) && value > 0.0;
}

std::string CPingerMode::DataFilePath() const
{
    return m_host.GetSerializePath() + kDataFile;
}

bool CPingerMode::ReadDataFile(double& period, double& pulseLength) const
{
    period = 0.0;
    pulseLength = 0.0;
    std::ifstream in(DataFilePath(), std::ios::binary);
    unsigned char bytes[kDataFileSize];
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes))
        return false;
    const double p = GetDouble(bytes), l = GetDouble(bytes + 8);
    // A value no pinger has would reach the ping interval: the user enters
    // it again instead.
    period = IsUsable(p) ? p : 0.0;
    pulseLength = IsUsable(l) ? l : 0.0;
    return true;
}

bool CPingerMode::WriteDataFile(double period, double pulseLength) const
{
    char bytes[kDataFileSize];
    PutDouble(bytes, period);
    PutDouble(bytes + 8, pulseLength);
    std::ofstream out(DataFilePath(), std::ios::binary | std::ios::trunc);
    return out.write(bytes, sizeof bytes) && out.flush();
}

void CPingerMode::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        double pulse, period;
        {
            std::lock_guard lock(m_lock);
            pulse = m_pulseLength;
            period = m_period;
        }
        ar << pulse << period;
        return;
    }
    double pulse = 0.0, period = 0.0;
    ar >> pulse >> period;
    std::lock_guard lock(m_lock);
    if (IsUsable(pulse))
        m_pulseLength = pulse;
    if (IsUsable(period))
        m_period = period;
}

bool CPingerMode::Synchronise()
{
    SPingerDialogValues v;
    ReadDataFile(v.period, v.pulseLength);
    v.cableLength = 0.0;
    v.depth = 0.0;
    const bool ok = m_host.RunPingerDialog(v);
    // The dialog refuses these too; a value that slipped through would
    // reach the ping interval's integer cast.
    if (!ok || !IsDistance(v.cableLength) || !IsDistance(v.depth) || !IsUsable(v.period) || !IsUsable(v.pulseLength)) {
        SetActive(false);
        return false;
    }
    {
        std::lock_guard lock(m_lock);
        m_cableLength = v.cableLength;
        m_depth = v.depth;
        m_period = v.period;
        m_pulseLength = v.pulseLength;
        m_synchroniseRequest = v.synchronise;
        FillHistory(m_cableLength);
        m_active = true;
        m_mode = kModeTracking;
        m_state = kAcquiring;
        m_pings = m_searches = m_syncStartPing = 0;
        m_position = 0;
        m_width = 0;
        m_smoothedWidth = 0.0;
        m_level = 0.0;
        m_time = m_period;
        m_reference.reset();
        m_offsetSum = 0.0;
        m_periodSum = 0;
    }
    WriteDataFile(v.period, v.pulseLength);
    return true;
}

void CPingerMode::FillHistory(double distance)
{
    m_history.fill(distance);
    m_mean = distance;
}

void CPingerMode::ShiftHistory(double distance)
{
    std::copy_backward(m_history.begin(), m_history.end() - 1, m_history.end());
    m_history[0] = distance;
    double sum = 0.0;
    for (double d : m_history)
        sum += d;
    m_mean = sum / kHistory;
}

double CPingerMode::GetParameter() const
{
    std::lock_guard lock(m_lock);
    return m_time;
}

double CPingerMode::GetParameterScaled() const
{
    return GetParameter() * 0.8;
}

void CPingerMode::SetParameter(double sampleInterval)
{
    std::lock_guard lock(m_lock);
    m_sampleInterval = sampleInterval;
}

double CPingerMode::GetResult() const
{
    std::lock_guard lock(m_lock);
    return m_mean;
}

bool CPingerMode::IsTracking() const
{
    std::lock_guard lock(m_lock);
    return m_mode == kModeTracking && m_active;
}

bool CPingerMode::IsSynchronising() const
{
    std::lock_guard lock(m_lock);
    return m_mode == kModeSynchronising && m_active;
}

bool CPingerMode::IsActive() const
{
    std::lock_guard lock(m_lock);
    return m_active;
}

void CPingerMode::SetActive(bool active)
{
    std::lock_guard lock(m_lock);
    m_active = active;
}

CPingerMode::State CPingerMode::GetState() const
{
    std::lock_guard lock(m_lock);
    return m_state;
}

int CPingerMode::GetPulsePosition() const
{
    std::lock_guard lock(m_lock);
    return m_position;
}

int CPingerMode::GetPulseWidth() const
{
    std::lock_guard lock(m_lock);
    return m_width;
}

double CPingerMode::GetPeriod() const
{
    std::lock_guard lock(m_lock);
    return m_period;
}

double CPingerMode::GetPulseLength() const
{
    std::lock_guard lock(m_lock);
    return m_pulseLength;
}

bool CPingerMode::FindPulse(const std::int16_t* samples, int count)
{
    std::lock_guard lock(m_lock);
    return FindPulseLocked(samples, count);
}

bool CPingerMode::FindPulseLocked(const std::int16_t* samples, int count)
{
    if (m_state == kAcquiring)
        ++m_searches;
    // A width of 0 (no pulse length known) would average nothing, a ping
    // shorter than the pulse has no place for it, and without a sample
    // interval no distance means anything; one of over a second is no
    // unit's, and would take the pulse's time out of its 100-ns count.
    const int w = std::max(m_width, 1);
    if (samples == nullptr || count < w || !(m_sampleInterval > 0.0) || !(m_sampleInterval <= 1.0))
        return false;
    int lo = 0, hi = count - w;
    if (m_state != kAcquiring) {
        const int window = SamplesOf(kSearchWindow, m_sampleInterval);
        lo = std::clamp(m_position - window, 0, count - w);
        hi = std::clamp(m_position + window, 0, count - w);
    }
    const int end = hi + w;
    // Only what the search and the width estimate read is filtered: the
    // scanned samples, 2w beyond them for the width, and the two more each
    // side the five-sample median needs to treat them as in the whole ping.
    const int base = std::max(lo - 2 * w - 2, 0);
    const int limit = std::min(end + 2 * w + 2, count);
    m_work.assign(samples + base, samples + limit);
    m_median.Apply(m_work.data(), limit - base);
    // Indices into the filtered samples run from base.
    const std::int16_t* y = m_work.data();
    const int first = lo - base, last = hi - base;

    // Sliding sum of w samples: the level at each position is its mean.
    std::int64_t sum = 0;
    for (int i = first; i < first + w; ++i)
        sum += y[i];
    std::int64_t bestSum = sum;
    int best = first;
    for (int p = first + 1; p <= last; ++p) {
        sum += y[p + w - 1] - y[p - 1];
        if (sum > bestSum) {
            bestSum = sum;
            best = p;
        }
    }
    best += base;
    const std::int16_t* peakSample = std::max_element(y + first, y + (end - base));
    const std::int16_t peak = *peakSample;
    const int peakAt = static_cast<int>(peakSample - y) + base;
    const double bestMean = static_cast<double>(bestSum) / w;

    m_level = m_level == 0.0 ? bestMean : 0.95 * m_level + 0.05 * bestMean;
    if (m_state != kAcquiring) {
        const int step = SamplesOf(kStepLimit, m_sampleInterval);
        best = std::clamp(std::clamp(best, m_position - step, m_position + step), 0, count - w);
    }
    if (!(bestMean > m_level - 1000.0) || best <= 0)
        return false;
    m_position = best;
    if (peakAt > best - w && peakAt < best + 2 * w) {
        const int from = std::max(peakAt - 2 * w, base);
        const int to = std::min(peakAt + 2 * w, limit);
        const int floor = peak - 512;
        int n = 0;
        for (int i = from - base; i < to - base; ++i)
            n += y[i] >= floor;
        m_smoothedWidth = 0.9 * m_smoothedWidth + 0.1 * static_cast<double>(n);
        m_width = std::max(static_cast<int>(m_smoothedWidth), 1);
    }
    return true;
}

int CPingerMode::ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval, std::uint64_t pingTime)
{
    SetParameter(sampleInterval);
    return ProcessPing(samples, count, pingTime);
}

int CPingerMode::ProcessPing(std::int16_t* samples, int count, std::uint64_t pingTime)
{
    std::vector<Post> posts;
    bool writeFile = false;
    int kept = 0;
    double period = 0.0, pulse = 0.0;
    const bool replaying = m_host.IsReplaying();
    {
        std::lock_guard lock(m_lock);
        kept = ProcessPingLocked(samples, count, pingTime, replaying, posts, writeFile);
        period = m_period;
        pulse = m_pulseLength;
    }
    if (writeFile)
        WriteDataFile(period, pulse);
    for (const Post& p : posts)
        m_host.PostToFrame(p.message, p.wParam, p.lParam);
    return kept;
}

int CPingerMode::ProcessPingLocked(std::int16_t* samples, int count, std::uint64_t pingTime, bool replaying,
                                   std::vector<Post>& posts, bool& writeFile)
{
    ++m_pings;
    if (samples == nullptr || count <= 0)
        return 0;
    if (m_pings == 1) {
        const double w = m_sampleInterval > 0.0 ? m_pulseLength / 1000.0 / m_sampleInterval : 0.0;
        m_width = std::isfinite(w) && w < 1e9 ? std::max(static_cast<int>(w), 1) : 1;
        m_smoothedWidth = m_width;
    }
    if (!FindPulseLocked(samples, count))
        return 0;

    double distance = m_position * m_sampleInterval * 750.0 - 100.0;
    // Outside replay the next ping comes a little later the farther the
    // pinger is, so that its pulse drifts through the sounder's ping.
    // A pinger nearer than the sounder's 100 m takes time off the period; a
    // period shorter than that would leave no interval to ping at, so the
    // period itself is kept then.
    const double next = replaying ? 0.1 : distance * 0.05 / kSoundSpeed + m_period;
    m_time = IsUsable(next) ? next : m_period;

    if (m_state == kAcquiring) {
        if (m_searches < kSearchesBeforeReady)
            return count;
        if (m_synchroniseRequest) {
            m_state = kSynchronisingState;
            m_syncStartPing = m_pings;
            m_offsetSum = 0.0;
            m_periodSum = 0;
            posts.push_back({app::WM_ES_SHOWPINGERSYNC, 0, 0});
        } else {
            m_state = kTrackingState;
            FillHistory(m_cableLength);
            posts.push_back({app::WM_ES_SHOWPINGERREADY, 0, 0});
        }
    }

    // The pulse's time against the last pulse's, in signed 100-ns units: a
    // clock set back gives negative periods, never a wrapped count.
    const std::int64_t pulseTime =
        static_cast<std::int64_t>(pingTime) + kTransmitDelay + std::llround(m_position * m_sampleInterval * 1e7);
    if (!m_reference) {
        m_reference = pulseTime;
        return 0;
    }
    const double elapsed = static_cast<double>(pulseTime - *m_reference) / 1e7;
    m_reference = pulseTime;
    const double periods = std::floor(elapsed / m_period + 0.1);
    const double offset = (elapsed - periods * m_period) * kSoundSpeed;
    if (std::fabs(std::trunc(offset)) > kOffsetLimit || periods < 1.0 || periods > 1e6)
        return 0;

    if (m_state == kSynchronisingState) {
        m_offsetSum += offset;
        m_periodSum += static_cast<std::int64_t>(periods);
        const double drift = m_offsetSum / static_cast<double>(m_periodSum);
        posts.push_back({app::WM_ES_PINGERDRIFT, static_cast<std::intptr_t>(kSynchronisePeriods - m_periodSum),
                         static_cast<std::intptr_t>(std::lround(drift * 100.0))});
        ShiftHistory(distance);
        if (m_periodSum >= kSynchronisePeriods) {
            const double measured = m_period + (m_offsetSum / kSoundSpeed) / static_cast<double>(m_periodSum);
            if (IsUsable(measured))
                m_period = measured;
            m_state = kTrackingState;
            writeFile = true;
            posts.push_back({app::WM_ES_HIDEPINGERSYNC, 0, 0});
            posts.push_back({app::WM_ES_SHOWPINGERREADY, 0, 0});
        }
        return 0;
    }

    distance += offset;
    ShiftHistory(distance);
    if (m_depth - m_mean < kTrackingDepthMargin) {
        m_mode = kModeTracking;
        // The channel's range counts from the pinger from here on.
        const int moved = count - m_position;
        std::copy(samples + m_position, samples + count, samples);
        return moved;
    }
    m_mode = kModeSynchronising;
    return 0;
}

bool CPingerMode::GetPingInterval(double& seconds)
{
    std::lock_guard lock(m_lock);
    if (!m_active || !IsUsable(m_time))
        return false;
    seconds = m_time;
    return true;
}

bool CPingerMode::GetPingerScaledInterval(double& seconds)
{
    if (!GetPingInterval(seconds))
        return false;
    seconds *= 0.8;
    return true;
}

bool CPingerMode::GetPingerDepth(double& depth) const
{
    std::lock_guard lock(m_lock);
    if (!(m_mode == kModeSynchronising && m_active))
        return false;
    depth = m_mean;
    return true;
}

bool CPingerMode::GetPulseLength(double& milliseconds) const
{
    std::lock_guard lock(m_lock);
    if (!m_active || !IsUsable(m_pulseLength))
        return false;
    milliseconds = m_pulseLength;
    return true;
}
