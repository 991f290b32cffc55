#include "sounder/EchoSounder.h"

#include "base/AppIds.h"
#include "base/ReplayFileList.h"
#include "engine/Channel.h"
#include "engine/MultiPulse.h"
#include "engine/OperationDialogValues.h"
#include "engine/SequenceControl.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/NetworkAdapters.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"
#include "sounder/DbPingText.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverTypeTable.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace {

constexpr std::int64_t kTicksPerMs = 10000;
constexpr std::int64_t kTicksPerSecond = 10000000;

std::int64_t Monotonic()
{
    return static_cast<std::int64_t>(CFileTime::Monotonic());
}

// A ping interval in seconds as the trigger thread's 100-ns count: only a
// positive one no longer than the longest the operator can set, so that a
// value from a tracker or a pinger never overflows the count.
bool IntervalTicks(double seconds, std::int64_t& ticks)
{
    if (!(seconds > 0.0 && seconds <= SOperationDialogValues::kLargestValue))
        return false;
    ticks = static_cast<std::int64_t>(seconds * 1e7);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------

void CCancellableSemaphore::Release(int n)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_count = std::min(m_count + n, m_max);
    }
    // One permit lets one waiter on; waking the others would only send
    // them back to sleep.
    if (n == 1)
        m_cv.notify_one();
    else
        m_cv.notify_all();
}

bool CCancellableSemaphore::Acquire()
{
    std::unique_lock<std::mutex> lock(m_lock);
    m_cv.wait(lock, [&] { return m_cancelled || m_count > 0; });
    if (m_cancelled)
        return false;
    --m_count;
    return true;
}

void CCancellableSemaphore::Cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cancelled = true;
    }
    m_cv.notify_all();
}

int CCancellableSemaphore::GetCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_count;
}

// ---------------------------------------------------------------------------

std::unique_ptr<CTransceiver> CNoEchoSounderHost::CreateTransceiver(TransceiverType, int,
                                                                    const InstalledTransceiverInfo&, HKEY)
{
    return nullptr;
}

std::unique_ptr<CTransceiver> CNoEchoSounderHost::CreateReplay(const CReplayFileList*, HKEY)
{
    return nullptr;
}

std::unique_ptr<IPingDocuments> CNoEchoSounderHost::CreateDocuments()
{
    return nullptr;
}

std::unique_ptr<IPingRecorder> CNoEchoSounderHost::CreateRecorder(CEchoSounder&, HKEY, const std::string&)
{
    return nullptr;
}

std::unique_ptr<ISurveyControl> CNoEchoSounderHost::CreateSurveyControl(CEchoSounder&)
{
    return nullptr;
}

// ---------------------------------------------------------------------------

CEchoSounder::CEchoSounder() = default;

CEchoSounder::~CEchoSounder()
{
    // The workers change the channel records before every ping: save them
    // once the workers have ended.
    StopThreads();
    // The survey control exchange reads the sounder's mode and recorder:
    // its worker ends before either goes.
    m_surveyControl.reset();
    // The recorder closes its files while the channels it reads still exist.
    m_recorder.reset();
    StopTransceivers();
    // The list goes after the ping-data thread that notifies it and before
    // the channels its documents read.
    m_documents.reset();
    // Nothing requests single targets any more: the calibration component
    // can go.
    m_calibration.Release();
    // Transceivers (with their channels and threads) go after the workers
    // that call them.
    m_transceivers.clear();
}

std::uint32_t CEchoSounder::ClassBroadcast(std::uint32_t a)
{
    const std::uint32_t first = a >> 24;
    if (first < 128)
        return a | 0x00FFFFFFu;
    if (first < 192)
        return a | 0x0000FFFFu;
    if (first < 224)
        return a | 0x000000FFu;
    return 0xFFFFFFFFu;
}

void CEchoSounder::ResolveDestination()
{
    m_destination = SocketAddress::kBroadcast;
    std::uint32_t ip = 0;
    if (!m_context.triggerDestination.empty() && SocketAddress::ParseIp(m_context.triggerDestination, ip)) {
        m_destination = ip;
    } else if (!m_context.adapterAddress.empty() && SocketAddress::ParseIp(m_context.adapterAddress, ip)) {
        // The adapter knows its own net; the class rule only stands in for
        // an address that no adapter carries.
        m_destination = ClassBroadcast(ip);
        for (const auto& a : CNetworkAdapters::List())
            if (a.address == ip && a.broadcast != 0)
                m_destination = a.broadcast;
    }
    m_destinationText = SocketAddress::IpText(m_destination);
}

bool CEchoSounder::Create(const Context& context, HKEY key, int mode, int rateMode, const CReplayFileList* files,
                          DWORD trigger, int sequence, const std::string& sequenceFile, int hbx,
                          std::int64_t pingInterval)
{
    static CNoEchoSounderHost alone;
    m_context = context;
    m_host = context.host ? context.host : &alone;
    m_key = key;
    m_mode = mode;
    if (!m_documents)
        m_documents = m_host->CreateDocuments();
    m_trigger = trigger;
    m_sequenceFlag = sequence;
    m_hbx = hbx;
    ResolveDestination();

    int rate = rateMode;
    std::int64_t interval = pingInterval;
    if (rate == kMultiPulse) {
        m_multiPulseOn = true;
        rate = kMaximumRate;
    }
    m_simplePinger = context.simplePinger;
    if (m_simplePinger) {
        rate = kInterval;
        interval = static_cast<std::int64_t>(2.0 * context.simplePingerInterval * 1e7);
    }
    if (rateMode == kPinger) {
        m_pingerOn = true;
        rate = kInterval;
        interval = kTicksPerSecond;
    }
    m_rateMode = rate;
    m_interval = interval;
    m_nextTrigger = 0;
    m_triggerTimeout = kDefaultTriggerTimeout;

    if (mode == kReplay) {
        m_trigger = kTriggerInternal;
        m_sequenceFlag = 0;
        const CReplayFileList* list = files && !files->IsEmpty() ? files : nullptr;
        m_saveData = list ? list->m_saveData : 0;
        if (auto replay = m_host->CreateReplay(list, key)) {
            replay->SetEchoSounder(this);
            m_transceivers.push_back(std::move(replay));
        }
    } else if (m_context.installation) {
        const CTransceiverTypeTable& types =
            m_context.transceiverTypes ? *m_context.transceiverTypes : CTransceiverTypeTable::Standard();
        const int count = m_context.installation->GetTransceiverCount();
        for (int i = 0; i < count; ++i) {
            const auto info = m_context.installation->GetTransceiverInfo(i);
            if (!info)
                continue;
            std::unique_ptr<CTransceiver> t;
            if (types.Allows(info->type, m_context.model))
                t = m_host->CreateTransceiver(info->type, i, *info, key);
            if (!t) {
                // A sounder without all its units would run on half its
                // channels without saying so: refuse the start instead.
                m_host->Warning("Unsupported Transceiver Type");
                m_transceivers.clear();
                return false;
            }
            t->SetEchoSounder(this);
            m_transceivers.push_back(std::move(t));
        }
        if (!m_transceivers.empty())
            m_context.installation->CheckNetworkCards();
    }
    if (GetChannelCount() == 0)
        return true;
    // Each unit numbers its own channels; the depth users and outputs know
    // a channel by its place among all of them.
    m_calibration.SetApplicationTexts(m_context.productVersion, m_context.trListPath);
    for (int i = 0; i < GetChannelCount(); ++i) {
        GetChannel(i)->SetChannelId(i);
        GetChannel(i)->SetCalibrationHandOver(&m_calibration);
    }
    // A new sounder sets every unit's transmit up afresh with its first ping
    // (pinger mode's pulse length among it).
    for (auto& t : m_transceivers)
        t->MarkChannelsChanged();
    // The simple pinger transmits on the first channel of the first unit
    // that has channels.
    if (m_simplePinger)
        for (auto& t : m_transceivers)
            if (CChannel* c = t->GetChannelId(0)) {
                c->MakeSimplePingerChannel();
                t->MarkChannelsChanged();
                break;
            }

    m_recorder = m_host->CreateRecorder(*this, key, sequenceFile);
    m_surveyControl = m_host->CreateSurveyControl(*this);
    // The replay opened its first file before the recorder was made: the
    // recorder takes its names now, or the first pings would go unrecorded
    // until the replay's notice came round through the user-interface thread.
    if (m_recorder && mode == kReplay)
        m_recorder->OnCommand(app::cmd::REPLAY_FILE_OPENED);

    // The saved settings go into the channel records before any worker
    // copies them for a ping.
    TransceiversReady();

    m_multiPulse = std::make_unique<CMultiPulse>();
    m_sequence = std::make_unique<CSequenceControl>(m_sequenceFlag.load(), GetChannelCount());
    m_stop = false;
    m_pingThread = std::thread([this] { PingDataThread(); });
    m_triggerThread = std::thread([this] { TriggerThread(); });
    m_threadsRunning = true;
    return true;
}

CCalibrationLink::SStartResult CEchoSounder::StartCalibrationLink(CChannel& channel)
{
    std::vector<CChannel*> channels;
    for (int i = 0; i < GetChannelCount(); ++i)
        channels.push_back(GetChannel(i));
    return m_calibration.Start(channel, channels);
}

int CEchoSounder::GetChannelCount() const
{
    int n = 0;
    for (const auto& t : m_transceivers)
        n += t->GetChannelCount();
    return n;
}

CChannel* CEchoSounder::GetChannel(int index) const
{
    if (index < 0)
        return nullptr;
    for (const auto& t : m_transceivers) {
        if (index < t->GetChannelCount())
            return t->GetChannelId(index);
        index -= t->GetChannelCount();
    }
    return nullptr;
}

CTransceiver* CEchoSounder::GetTransceiver(int index) const
{
    if (index < 0 || index >= GetTransceiverCount())
        return nullptr;
    return m_transceivers[static_cast<std::size_t>(index)].get();
}

std::uint64_t CEchoSounder::UpdatePingTime(std::uint64_t time)
{
    std::uint64_t first;
    {
        std::lock_guard<std::mutex> lock(m_pingTimeLock);
        m_pingTime = time;
        if (m_firstPingTime == 0)
            m_firstPingTime = time;
        first = m_firstPingTime;
    }
    m_pingReady.Release();
    return first;
}

int CEchoSounder::GetStep(int index) const
{
    std::lock_guard<std::mutex> lock(m_sequenceLock);
    return m_sequence && m_sequence->IsRunning() ? m_sequence->GetStep(index) : 0;
}

std::optional<double> CEchoSounder::GetMultiPulseScaledDepth() const
{
    // The tracker's period is known only while it tracks.
    if (!m_multiPulseOn.load() || !m_multiPulse || m_multiPulse->GetDepth() <= 0.0)
        return std::nullopt;
    return m_multiPulse->GetScaledDepth();
}

std::optional<double> CEchoSounder::GetPingerScaledParameter() const
{
    double seconds = 0.0;
    if (!m_pingerOn.load() || !m_host || !m_host->GetPingerScaledInterval(seconds))
        return std::nullopt;
    return seconds;
}

std::uint64_t CEchoSounder::GetPingTime() const
{
    std::lock_guard<std::mutex> lock(m_pingTimeLock);
    return m_pingTime;
}

void CEchoSounder::SetPingRecord(std::uint64_t referenceTime, std::uint64_t telegramTime)
{
    std::lock_guard<std::mutex> lock(m_clockLock);
    m_referenceTime = referenceTime;
    m_telegramTime = telegramTime;
    m_pcClockPending = true;
}

void CEchoSounder::SetMode(int rateMode, DWORD trigger, int sequence, std::int64_t interval, int hbx)
{
    m_hbx = hbx;
    int rate = rateMode;
    if (rateMode == kMultiPulse) {
        m_multiPulseOn = true;
        m_pingerOn = false;
        rate = kMaximumRate;
    } else if (rateMode == kPinger) {
        m_pingerOn = true;
        m_multiPulseOn = false;
        rate = kInterval;
        interval = kTicksPerSecond;
        // Pinger mode sets its own pulse length: every unit transmits anew.
        for (auto& t : m_transceivers)
            t->MarkChannelsChanged();
    } else {
        m_multiPulseOn = false;
        m_pingerOn = false;
        // A pause or another rate ends pinger mode as the operation dialog
        // does: the pinger channel's samples and offset go back to normal.
        if (m_host)
            m_host->StopPinger();
    }
    if (m_mode == kNormal) {
        if (m_trigger.load() == kTriggerExternal && trigger == kTriggerInternal)
            m_triggerTimeout = kDefaultTriggerTimeout;
        m_trigger = trigger;
        m_sequenceFlag = sequence;
    } else {
        m_trigger = kTriggerInternal;
        m_sequenceFlag = 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_sequenceLock);
        if (m_sequence) {
            if (m_sequenceFlag.load() == 0)
                m_sequence->Stop();
            else
                m_sequence->Reset();
        }
    }
    // The schedule of interval mode starts now; the trigger thread, woken
    // from a single step, must already see the new mode.
    if (rate == kInterval)
        m_nextTrigger = Monotonic();
    m_interval = interval;
    const int previous = m_rateMode.exchange(rate);
    if (previous == kSingleStep && rate != kSingleStep)
        m_stepGate.Release();
}

void CEchoSounder::RefreshChannelRecords()
{
    const int count = GetChannelCount();
    for (int i = 0; i < std::min(count, kPairedChannels); ++i) {
        CChannel* c = GetChannel(i);
        // Set only while the echogram shows a side and publishes it.
        const std::string partnerName = c ? c->GetSecondName() : std::string();
        if (partnerName.empty())
            continue;
        CChannel* partner = nullptr;
        for (int j = 0; j < count && !partner; ++j) {
            CChannel* p = GetChannel(j);
            if (p && p != c && p->GetChannelName() == partnerName)
                partner = p;
        }
        if (!partner || !partner->GetTransceiver())
            continue;
        const ChannelParameters own = c->GetNextParameters();
        ChannelParameters other = partner->GetNextParameters();
        if (own.PulseLength == other.PulseLength && own.TransmitPower == other.TransmitPower &&
            own.TransceiverMode == other.TransceiverMode)
            continue;
        other.PulseLength = own.PulseLength;
        other.TransmitPower = own.TransmitPower;
        other.TransceiverMode = own.TransceiverMode;
        // The partner's channel keeps them, or its own values would come
        // back with the next refresh; its unit transmits them from the
        // next ping on.
        partner->SetChannelParameters(other);
        CTransceiver* unit = partner->GetTransceiver();
        unit->SetChannelParameters(partner, other);
        // Each marks the record changed where its values differ.
        unit->SetChannelMode(partner, other.TransceiverMode);
    }
}

void CEchoSounder::OnStep()
{
    if (m_rateMode.load() == kSingleStep)
        m_stepGate.Release();
}

bool CEchoSounder::OnCommand(unsigned id)
{
    for (auto& t : m_transceivers)
        if (t->OnCommand(id))
            return true;
    if (id == app::cmd::PRINT_DB_PING) {
        if (!DebugPrintPing(DebugPingFile()))
            m_host->Warning("The ping could not be written to " + DebugPingFile());
        return true;
    }
    if (id != app::cmd::STEP)
        return false;
    OnStep();
    return true;
}

std::string CEchoSounder::DebugPingFile()
{
    return (std::filesystem::path(CPaths::DataRoot()) / "DEBUG_Print_dB_PING2.txt").string();
}

bool CEchoSounder::DebugPrintPing(const std::string& path) const
{
    std::string text;
    for (int i = 0; i < GetChannelCount(); ++i) {
        CChannel::ParameterCopy copy;
        GetChannel(i)->GetChannelParameters(copy);
        text += DbPingText(i + 1, copy);
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << text;
    return bool(out.flush());
}

bool CEchoSounder::OnUpdateCommand(app::CCmdUI& ui)
{
    for (auto& t : m_transceivers)
        if (t->OnUpdateCommand(ui))
            return true;
    if (ui.id == app::cmd::PRINT_DB_PING) {
        ui.Enable(true);
        return true;
    }
    if (ui.id != app::cmd::STEP)
        return false;
    ui.Enable(IsStepEnabled());
    return true;
}

void CEchoSounder::SetChannelsState(int state)
{
    m_pendingChannelState = state;
}

void CEchoSounder::StopTransceivers()
{
    for (auto& t : m_transceivers)
        t->SaveChannelSettings();
}

bool CEchoSounder::TransceiversReady()
{
    bool all = true;
    for (auto& t : m_transceivers)
        all = t->LoadChannelSettings() != 0 && all;
    return all;
}

bool CEchoSounder::HasNamedChannel() const
{
    const CChannel* c = GetChannel(0);
    return c && !c->GetChannelName().empty();
}

std::string CEchoSounder::GetPingRateText() const
{
    std::lock_guard<std::mutex> lock(m_rateLock);
    return m_rateText;
}

bool CEchoSounder::WaitFor(std::int64_t ticks)
{
    std::unique_lock<std::mutex> lock(m_sleepLock);
    if (ticks > 0)
        m_sleepCv.wait_for(lock, std::chrono::microseconds(ticks / 10), [&] { return m_stop.load(); });
    return !m_stop.load();
}

void CEchoSounder::StopThreads()
{
    if (!m_threadsRunning)
        return;
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        m_stop = true;
    }
    m_sleepCv.notify_all();
    m_pingTakenCv.notify_all();
    m_pingReady.Cancel();
    m_stepGate.Cancel();
    // A worker may be waiting for this thread (a document update sent to
    // the main frame): keep handling this thread's messages until both end.
    const auto done = [&] { return m_pingThreadDone.load() && m_triggerThreadDone.load(); };
    while (!done())
        PumpUntil(done, std::chrono::milliseconds(50));
    m_pingThread.join();
    m_triggerThread.join();
    m_threadsRunning = false;
    m_socket.Close();
}

// ---------------------------------------------------------------------------
// Ping-data thread

void CEchoSounder::PingDataThread()
{
    m_timingCorrection = 0;
    {
        std::lock_guard<std::mutex> lock(m_pingTimeLock);
        m_pingTime = 0;
    }
    if (!WaitFor(static_cast<std::int64_t>(m_context.workerStartDelayMs) * kTicksPerMs)) {
        m_pingThreadDone = true;
        return;
    }
    if (m_mode == kReplay && m_saveData)
        m_host->RequestReplayStore();
    m_previousPingTime = CFileTime::Now();

    while (!m_stop.load()) {
        if (m_pcClockPending.load()) {
            // The clock is set here, between pings, never from the thread
            // that decoded the telegram. The request stays pending until it
            // is done, so the decoder posts no second one meanwhile.
            std::uint64_t received = 0, telegram = 0;
            {
                std::lock_guard<std::mutex> lock(m_clockLock);
                received = m_referenceTime;
                telegram = m_telegramTime;
            }
            m_host->SetClockFromTelegram(received, telegram);
            m_pcClockPending = false;
        }
        if (m_simplePinger) {
            m_interval = static_cast<std::int64_t>(2.0 * m_context.simplePingerInterval * 1e7);
            m_rateMode = kInterval;
        }
        bool stopped = false;
        for (std::size_t i = 0; i < m_transceivers.size(); ++i) {
            if (m_stop.load() || !m_pingReady.Acquire()) {
                stopped = true;
                break;
            }
        }
        if (stopped || m_stop.load())
            break;
        if (m_skip.load()) {
            for (auto& t : m_transceivers)
                t->RequestNextPing();
            NotePingTaken();
            continue;
        }
        const std::uint64_t pingTime = GetPingTime();
        m_host->AddPingToHistory(pingTime);
        for (auto& t : m_transceivers)
            t->ProcessPing(pingTime);
        if (m_recorder)
            m_recorder->WritePing();
        if (pingTime != 0) {
            for (int i = 0, n = GetChannelCount(); i < n; ++i) {
                CChannel* c = GetChannel(i);
                c->ProcessPing();
                c->ProcessPingData();
            }
            m_host->SendPingToOutputs(*this);
        }
        if (m_documents)
            m_documents->Notify(1);
        if (m_recorder && m_recorder->IsRecordingXtf())
            m_recorder->WriteXtfPing();
        if (m_multiPulseOn.load() && m_multiPulse) {
            std::vector<double> depths(static_cast<std::size_t>(std::max(GetChannelCount(), 1)), 0.0);
            std::size_t at = 0;
            for (auto& t : m_transceivers) {
                t->GetChannelDepths(depths.data() + at, m_multiPulse->GetState());
                at += static_cast<std::size_t>(t->GetChannelCount());
            }
            m_multiPulse->Track(depths[0], m_host->GetMeanSoundVelocity(depths[0]));
            // Until the tracker knows a period, interval mode would only
            // miss every deadline: run at the maximum rate instead.
            const double period = m_multiPulse->GetDepth();
            std::int64_t ticks = 0;
            if (m_multiPulse->GetState() != 0 && IntervalTicks(period, ticks)) {
                m_interval = ticks;
                m_rateMode = kInterval;
            } else {
                m_rateMode = kMaximumRate;
            }
        }
        double pingerSeconds = 0.0;
        std::int64_t pingerTicks = 0;
        if (m_pingerOn.load() && m_host->GetPingerInterval(pingerSeconds) && IntervalTicks(pingerSeconds, pingerTicks))
            m_interval = pingerTicks;
        UpdateRate(m_previousPingTime, pingTime);
        if (pingTime != 0)
            m_previousPingTime = pingTime;
        {
            std::lock_guard<std::mutex> lock(m_pingTimeLock);
            m_pingTime = 0;
        }
        ++m_pingCount;
        for (auto& t : m_transceivers)
            t->RequestNextPing();
        NotePingTaken();
    }
    m_pingThreadDone = true;
}

void CEchoSounder::UpdateRate(std::uint64_t previous, std::uint64_t current)
{
    if (m_context.model != SounderModel::QY210 && m_context.model != SounderModel::QY310)
        return;
    std::lock_guard<std::mutex> lock(m_rateLock);
    // Equal or reversed times (a clock set back) give no rate.
    if (current > previous) {
        const std::uint64_t ms = (current - previous) / kTicksPerMs;
        if (ms > 0)
            PushRate(1000.0 / static_cast<double>(ms));
    }
    SetRateText();
}

void CEchoSounder::UpdateTraceRate()
{
    // The wide-band unit's rate is what its first channel's traces show.
    if (m_context.model != SounderModel::QYNVU)
        return;
    CChannel* first = GetChannel(0);
    if (!first)
        return;
    const double rate = first->GetTraceRate();
    std::lock_guard<std::mutex> lock(m_rateLock);
    PushRate(rate);
    SetRateText();
}

void CEchoSounder::PushRate(double rate)
{
    m_rateIndex = (m_rateIndex + 1) % 5;
    m_rateRing[static_cast<std::size_t>(m_rateIndex)] = rate;
}

void CEchoSounder::SetRateText()
{
    if (m_rateMode.load() == kSingleStep) {
        m_rateText = "Single";
    } else if (m_multiPulseOn.load() || m_pingerOn.load()) {
        m_rateText = " ";
    } else {
        double sum = 0.0;
        for (double r : m_rateRing)
            sum += r;
        m_rateText = CNumberText::Format("% 3.1f Hz", sum / 5.0);
    }
}

// ---------------------------------------------------------------------------
// Trigger thread

void CEchoSounder::PaceLoad(double& sleepMs, double& lastLoad, int& equalReadings)
{
    const double load = m_host->ReadWorkload();
    if (load == lastLoad) {
        if (++equalReadings % 5 == 0)
            m_host->SampleWorkload();
    } else {
        equalReadings = 0;
        if (load < 0.7)
            sleepMs = sleepMs * 0.8 - 5.0;
        else if (load > 0.8)
            sleepMs = sleepMs * 1.5 + 5.0;
        lastLoad = load;
    }
    sleepMs = std::round(std::clamp(sleepMs, 5.0, 300.0));
    WaitFor(static_cast<std::int64_t>(sleepMs) * kTicksPerMs);
}

void CEchoSounder::PaceInterval(std::int64_t interval)
{
    const std::int64_t now = Monotonic();
    std::int64_t next = m_nextTrigger.load();
    if (next == 0)
        next = now;
    if (interval <= 0) {
        next = now;
    } else {
        next += interval;
        if (m_simplePinger)
            next += static_cast<std::int64_t>(m_timingCorrection.exchange(0)) * 1000;
        if (next < now) {
            m_host->StatusMessage(IDS_INTERVAL_NOT_MET);
            if (interval < 10 * kTicksPerMs)
                next = now;
            else
                next += ((now - next) / interval + 1) * interval;
        }
    }
    m_nextTrigger = next;
    const std::int64_t until = next - 5000;
    for (std::int64_t t = Monotonic(); t < until && !m_stop.load(); t = Monotonic())
        WaitFor(std::min<std::int64_t>(until - t, 100 * kTicksPerMs));
}

void CEchoSounder::TakeLinkLost()
{
    if (m_linkLost.exchange(false))
        m_host->LinkLost();
}

void CEchoSounder::NotePingTaken()
{
    {
        std::lock_guard<std::mutex> lock(m_sleepLock);
        ++m_pingsTaken;
    }
    // Only the trigger thread waits for a taken ping.
    m_pingTakenCv.notify_one();
}

bool CEchoSounder::WaitForTransceivers()
{
    for (;;) {
        if (m_stop.load())
            return false;
        // Noted before the pass, so that a ping taken during it ends the
        // wait below at once instead of being missed.
        std::uint64_t taken = 0;
        {
            std::lock_guard<std::mutex> lock(m_sleepLock);
            taken = m_pingsTaken;
        }
        // A unit that lost its link is not ready until it is set up again:
        // the alarm must not wait for that.
        TakeLinkLost();
        bool wait = false;
        for (auto& t : m_transceivers) {
            if (!t->IsReady()) {
                wait = true;
                continue;
            }
            // A unit that reports -1 never says when its buffer drains; it
            // must not hold the others back.
            const int buffered = t->GetBufferedPings();
            if (buffered >= 2 && buffered <= 6)
                wait = true;
        }
        if (!wait)
            break;
        // A unit's buffer drains when the ping-data thread takes its ping:
        // wake then, not at the end of a fixed sleep. The bound stays for
        // units whose buffer drains on their own threads.
        std::unique_lock<std::mutex> lock(m_sleepLock);
        m_pingTakenCv.wait_for(
            lock, std::chrono::microseconds(std::max<std::int64_t>(m_context.transceiverPassTicks, 1) / 10),
            [&] { return m_stop.load() || m_pingsTaken != taken; });
    }
    for (auto& t : m_transceivers)
        if (t->IsReady())
            t->ClearPingConsumed();
    return true;
}

void CEchoSounder::SendTrigger(bool external)
{
    if (!m_socket.IsOpen())
        return;
    const char datagram[4] = {'T', external ? 'E' : 'I', 0, 0};
    // A lost trigger datagram only costs this ping.
    (void)m_socket.SendTo(datagram, sizeof datagram, SocketAddress(m_destination, m_context.triggerPort), 100);
}

void CEchoSounder::TriggerThread()
{
    double sleepMs = 50.0;
    double lastLoad = 0.6;
    int equalReadings = 0;
    if (m_socket.Create(CSocket::Udp) && !m_socket.SetBroadcast(true))
        m_socket.Close();
    if (!WaitFor(static_cast<std::int64_t>(m_context.workerStartDelayMs) * kTicksPerMs)) {
        m_triggerThreadDone = true;
        return;
    }

    while (!m_stop.load()) {
        TakeLinkLost();
        const int rate = m_rateMode.load();
        if (!m_simplePinger && rate == kSingleStep) {
            if (!m_stepGate.Acquire())
                break;
            sleepMs = 50.0;
        } else if (!m_simplePinger && rate == kMaximumRate) {
            PaceLoad(sleepMs, lastLoad, equalReadings);
        } else {
            PaceInterval(m_interval.load());
        }
        if (m_stop.load())
            break;
        if (m_rateMode.load() != kInterval) {
            const std::int64_t ready = m_previousTrigger + m_largestMinimumPeriod.load();
            const std::int64_t now = Monotonic();
            if (ready > now)
                WaitFor(ready - now + kTicksPerMs);
        }
        const bool external = m_trigger.load() == kTriggerExternal;
        m_triggerTimeout = external ? 450000000 : 100000000;
        m_skip = false;
        {
            std::lock_guard<std::mutex> lock(m_sequenceLock);
            if (m_sequence && m_sequence->IsRunning())
                m_sequence->Next();
        }
        if (!WaitForTransceivers())
            break;
        const int state = m_pendingChannelState.exchange(-1);
        for (auto& t : m_transceivers)
            for (int i = 0; i < t->GetChannelCount(); ++i)
                if (CChannel* c = t->GetChannelId(i)) {
                    if (state >= 0 && !c->GetChannelName().empty())
                        t->SetChannelMode(c, state);
                    t->SetChannelParameters(c, c->GetNextParameters());
                }
        RefreshChannelRecords();
        std::int64_t largest = 0;
        for (auto& t : m_transceivers) {
            std::int64_t d = 0;
            t->Start(d);
            largest = std::max(largest, d);
        }
        m_largestMinimumPeriod = largest;
        m_previousTrigger = Monotonic();
        // Units that ping on the broadcast get it; every other unit is
        // triggered on its own, or its ping would never come and the
        // ping-data thread would wait for it for ever.
        bool shared = false;
        int timeout = static_cast<int>(m_triggerTimeout.load());
        m_sharedTrigger.assign(m_transceivers.size(), 0);
        for (std::size_t i = 0; i < m_transceivers.size(); ++i) {
            m_transceivers[i]->PrepareTrigger(m_sharedTrigger[i], &timeout);
            shared = shared || m_sharedTrigger[i] != 0;
        }
        // The trigger-time step: a unit that pings by itself times its
        // ping from here.
        for (auto& t : m_transceivers)
            t->SetUp(timeout);
        if (shared)
            SendTrigger(external);
        for (std::size_t i = 0; i < m_transceivers.size(); ++i)
            if (m_sharedTrigger[i] == 0)
                m_transceivers[i]->Trigger(external ? 1 : 0);
        UpdateTraceRate();
        ++m_triggerCount;
    }
    m_triggerThreadDone = true;
}

void CEchoSounder::SendTestCommandToAll(int mode)
{
    for (const auto& t : m_transceivers)
        t->SendTestCommand(mode);
}
