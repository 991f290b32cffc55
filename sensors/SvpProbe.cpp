#include "sensors/SvpProbe.h"

#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "platform/NumberText.h"
#include "sensors/Environment.h"

#include <chrono>
#include <cmath>
#include <vector>

namespace {

// Runs of blanks separate the fields; leading blanks open none.
std::vector<std::string> BlankFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::size_t i = 0;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (i < line.size()) {
        while (i < line.size() && blank(line[i]))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && !blank(line[i]))
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

// A field as a number; a missing field, no number or no finite one is 0.
double FieldValue(const std::vector<std::string>& fields, std::size_t index)
{
    double value = 0.0;
    if (index >= fields.size() || !CNumberText::ParseFiniteDouble(fields[index], value))
        return 0.0;
    return value;
}

}  // namespace

std::optional<CSvpProbe::SReading> CSvpProbe::ParseLine(const std::string& line)
{
    const std::vector<std::string> fields = BlankFields(line);
    double p = FieldValue(fields, 1);
    double v = FieldValue(fields, 3);
    if (v == 0.0) {
        v = p;
        p = 0.0;
    }
    if (!(v > CSvpProfile::MinVelocity && v < CSvpProfile::MaxVelocity))
        return std::nullopt;
    return SReading{p / kPressureToDepth, v};
}

CSvpProbe::CSvpProbe(CEnvironment& environment, CSvpProfileStore& store, const ISensorHost& host, unsigned cycleMs)
    : CSerialSensor(kSettingId, host, kLogCutAbove, kLogKeep),
      m_environment(environment),
      m_store(store),
      m_cycleMs(cycleMs)
{}

CSvpProbe::~CSvpProbe()
{
    StopReader();
}

void CSvpProbe::LoadEnabled(HKEY key)
{
    KeepKey(key);
    if (!Key())
        return;
    CRegistrySupport reg;
    DWORD svp = 0, real = 0;
    reg.GetDword(Key(), "", "SvpEnabled", svp, TRUE);
    reg.GetDword(Key(), "", "RealSvpEnabled", real, TRUE);
    m_svpEnabled = svp != 0;
    m_realTime = real != 0;
}

bool CSvpProbe::SaveEnabled()
{
    if (!Key())
        return false;
    CRegistrySupport reg;
    reg.SetDword(Key(), "", "SvpEnabled", m_svpEnabled.load() ? 1 : 0);
    return reg.SetDword(Key(), "", "RealSvpEnabled", m_realTime.load() ? 1 : 0) != FALSE;
}

HRESULT CSvpProbe::StartReader()
{
    {
        std::lock_guard lock(m_workerLock);
        if (!m_worker.joinable()) {
            m_stop = false;
            m_wakesAsked = 0;
            m_stopping = false;
            m_worker = std::thread([this] { Worker(); });
        }
    }
    // Receive "ASCII" with time-outs 0/100/0 at once, transmit "ASCII" a
    // second later, without holding this thread meanwhile.
    if (OpenAsciiPort(kTransmitDelayMs, m_transmit) != 0) {
        CloseAsciiPort();
        return 1;
    }
    return 0;
}

void CSvpProbe::StopReader()
{
    m_stopping = true;
    {
        std::lock_guard lock(m_workerLock);
        m_stop = true;
    }
    m_wake.notify_all();
    // The worker sends on the line: it ends before the line closes, and
    // before anything it reaches goes.
    if (m_worker.joinable())
        m_worker.join();
    CloseAsciiPort();
}

void CSvpProbe::Worker()
{
    std::unique_lock lock(m_workerLock);
    auto next = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_cycleMs);
    for (;;) {
        const bool asked = m_wake.wait_until(lock, next, [this] { return m_stop || m_wakesAsked > 0; });
        if (m_stop)
            return;
        if (asked) {
            --m_wakesAsked;
            lock.unlock();
            WakeProbe();
            lock.lock();
            // A stream of readings does not hold the cycle up.
            if (std::chrono::steady_clock::now() < next)
                continue;
        }
        next = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_cycleMs);
        if (!m_realTime.load())
            continue;
        lock.unlock();
        if (m_readings.exchange(0) == 0) {
            // Once a silent spell, not every cycle after it.
            if (m_emptyCycles.fetch_add(1) + 1 > kMaxEmptyCycles && !m_missingReported.exchange(true))
                app::CStatus::PostStatusMessage(IdsRealSvpMissing);
        } else {
            m_emptyCycles = 0;
            m_missingReported = false;
        }
        Poll();
        lock.lock();
    }
}

void CSvpProbe::WakeProbe()
{
    for (int i = 0; i < 12 && !m_stopping.load(); ++i) {
        Send("\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void CSvpProbe::Poll()
{
    if (!IsOpen())
        return;
    m_pollSent = true;
    Send("\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    Send("S");
    Send("\r");
}

void CSvpProbe::Send(const char* text)
{
    SendTelegram(text);
}

void CSvpProbe::SetRealTime(bool on)
{
    m_realTime = on;
    if (on)
        Poll();
}

void CSvpProbe::StartCast()
{
    m_pollSent = true;
    Send("\r");
    Send("M");
    Send("\r");
}

void CSvpProbe::StartRecording()
{
    std::lock_guard lock(m_castLock);
    m_cast.Clear();
    m_lastRecorded.reset();
    m_recording = true;
}

CSvpProfile CSvpProbe::RecordedCast() const
{
    std::lock_guard lock(m_castLock);
    return m_cast;
}

bool CSvpProbe::StoreCast()
{
    const CSvpProfile cast = RecordedCast();
    const auto stored = m_store.Write(cast);
    if (!stored)
        return false;
    std::lock_guard lock(m_castLock);
    m_stored = stored;
    return true;
}

bool CSvpProbe::HasStoredCast() const
{
    std::lock_guard lock(m_castLock);
    return m_stored.has_value();
}

void CSvpProbe::ForgetStored()
{
    std::lock_guard lock(m_castLock);
    m_stored.reset();
}

void CSvpProbe::AnnounceStored()
{
    std::optional<CSvpProfileStore::SStored> stored;
    {
        std::lock_guard lock(m_castLock);
        stored = std::exchange(m_stored, std::nullopt);
    }
    if (!stored)
        return;
    m_environment.SetPendingFormat(CSvpProfile::FormatAsvp);
    m_environment.AnnounceNewProfile(FALSE, stored->folder, stored->fileName);
}

void CSvpProbe::ParseTelegram(const CTarnMessage& message)
{
    if (m_stopping.load())
        return;
    const std::string text = TextOf(message);
    if (text.empty())
        return;
    const auto reading = ParseLine(text);
    if (!reading)
        return;
    const double d = reading->depth;
    const double v = reading->velocity;
    {
        std::lock_guard lock(m_castLock);
        if (m_recording.load() && d > 0.0 && d < kMaxDepth) {
            // A cast is thinned: a point that moved little in depth or in
            // velocity from the last one kept adds nothing.
            const bool close = m_lastRecorded && (std::fabs(v - m_lastRecorded->velocity) <= kMinVelocityStep ||
                                                  std::fabs(d - m_lastRecorded->depth) <= kMinDepthStep);
            if (!close) {
                m_cast.AddPoint(d, v);
                m_lastRecorded = SReading{d, v};
            }
        }
    }
    if (m_realTime.load()) {
        if (std::fabs(v - m_environment.GetSoundVelocity()) > kVelocityChange)
            m_environment.SetProbeVelocity(v);
        ++m_readings;
    }
    Monitor().AppendText(CNumberText::Format("D= %.2f;    S= %.2f\r\n", d, v));
    // A probe that nobody has polled yet is woken, by the worker: this is
    // the line's reader thread, which holds the line's receive lock, and a
    // send takes the link's lock, which the link holds while it calls into
    // the line (open, protocols, close). Sending here could deadlock.
    if (!m_pollSent.load()) {
        {
            std::lock_guard lock(m_workerLock);
            ++m_wakesAsked;
        }
        m_wake.notify_all();
    }
}
