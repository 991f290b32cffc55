#include "transceivers/HXU.h"

#include "base/AppIds.h"
#include "base/CommandTarget.h"
#include "base/ModalSession.h"
#include "base/StringTable.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "sensors/AnalogMotionInput.h"
#include "sensors/MotionSensor.h"
#include "sensors/ThermistorInput.h"
#include "transceivers/PingMotion.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/UdpDatagramLink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kCaption = "HXU";
constexpr int kKeepAliveEvery = 100;  // waits
constexpr int kSilentWaits = 6;

std::string Format(const char* format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

CHXU::CHXU(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
           ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link, int index,
           const std::string& softwareFile)
    : CTransceiver(services),
      m_info(info),
      m_services(services),
      m_timings(timings),
      m_link(std::move(link)),
      m_index(index),
      m_softwareFile(softwareFile)
{
    if (info.type != TransceiverType::HXU)
        m_link.reset();  // a unit of another type is never spoken to
    if (!m_link || !Handshake(true))
        return;
    TakeSoundVelocity();
    CreateChannels(key, channels);
    m_receiveThread = std::thread([this] { ReceiveThread(); });
    m_startState = StartState::Running;
    std::this_thread::sleep_for(std::chrono::milliseconds(m_timings.hxuStartPauseMs));
}

CHXU::~CHXU()
{
    CModalSession::EndAll(m_debugDialog);
    m_stop = true;
    if (m_link)
        m_link->Stop();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    if (m_link && m_startState == StartState::Running) {
        const hxu::Bytes bye = hxu::Disconnect();
        // A unit that does not hear it stops on its own.
        (void)m_link->Send(IDatagramLink::kParting, bye.data(), bye.size());
    }
    m_link.reset();
    m_channels.clear();
    for (Slot& s : m_slots) {
        if (s.record && s.record->key)
            RegCloseKey(s.record->key);
        s.channel.reset();
    }
}

std::unique_ptr<CTransceiver> CHXU::Create(const TransceiverConstruction& c)
{
    const auto info = c.UnitOfType(TransceiverType::HXU);
    if (!info)
        return nullptr;
    const std::vector<TransceiverChannelRecord> channels = c.Channels(hxu::kMaxChannels);
    std::string software;
    if (const std::string folder = c.services.GetUnitSoftwareFolder(); !folder.empty())
        software = folder + (folder.back() == '/' ? "" : "/") + kSoftwareFile;
    return std::make_unique<CHXU>(*info, channels, c.key, c.services, c.timings,
                                  CUdpDatagramLink::Open(SocketAddress(info->unitAddress, hxu::kUnitPort), "HXU"),
                                  c.index, software);
}

// ---------------------------------------------------------------------------
// Start-up talk

std::vector<BYTE> CHXU::Await(int waitMs)
{
    std::vector<BYTE> buffer(hxu::kMaxReceived);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            return {};
        const int n = m_link->Receive(buffer.data(), buffer.size(), static_cast<int>(left));
        if (n >= 0) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        if (n != IDatagramLink::kForeign)
            return {};
    }
}

bool CHXU::Handshake(bool offerSoftware)
{
    std::optional<hxu::VersionReply> reply;
    for (;;) {
        const hxu::Bytes query = hxu::VersionQuery();
        if (!m_link->Send(IDatagramLink::kCommand, query.data(), query.size())) {
            m_startState = StartState::NoLink;
            return false;
        }
        const std::vector<BYTE> answer = Await(m_timings.hxuAnswerWaitMs);
        if (!answer.empty()) {
            reply = hxu::ReadVersionReply(answer.data(), answer.size());
            if (!reply) {
                ++m_dropped;
                m_startState = StartState::Refused;
                return false;
            }
            break;
        }
        ITransceiverDialogs* dialogs = Dialogs();
        if (!dialogs || dialogs->RunHxuNoContact(m_info.transceiverId) != 1) {
            m_startState = StartState::NoContact;
            return false;
        }
    }
    if (reply->fatal) {
        m_services.Beep(1000, 2000);
        ShowUnitError(reply->error);
        m_startState = StartState::UnitFatal;
        return false;
    }
    const SounderModel model = m_services.GetModel();
    const std::string mark = MarketSegmentMark(model);
    const bool segmentKnown = model == SounderModel::TOTAL || !mark.empty();
    if (reply->identity != m_info.transceiverId || !segmentKnown ||
        (model != SounderModel::TOTAL && reply->identity.find(mark) == std::string::npos)) {
        m_services.PostUnitStatus(app::ids::HXU_WRONG_TYPE, true);
        m_startState = StartState::WrongType;
        return false;
    }
    m_unitVersion = reply->version;
    if (offerSoftware) {
        if (std::FILE* file = m_softwareFile.empty() ? nullptr : std::fopen(m_softwareFile.c_str(), "r")) {
            const bool tried = Download(file);
            std::fclose(file);
            // The unit answers anew after a download, with the old software
            // when the download failed.
            if (tried)
                return Handshake(false);
        }
    }
    return true;
}

bool CHXU::Download(std::FILE* file)
{
    char line[hxu::kMaxLine + 2];
    if (!std::fgets(line, sizeof line, file))
        return false;
    const std::optional<std::string> version = hxu::SoftwareVersion(line);
    if (!version) {
        // The unit keeps the software it has.
        MessageBox(0, Format("Keyword 'VERSION=' not found in HXU DSP SW file '%s'", m_softwareFile.c_str()), kCaption,
                   MB_OK | MB_ICONERROR);
        return false;
    }
    if (*version == m_unitVersion || m_unitVersion == hxu::kSimulatorVersion)
        return false;
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs || dialogs->RunHxuReprogram(m_info.transceiverId, m_unitVersion, *version) != 1)
        return false;

    auto fail = [this](const std::string& text, UINT icon) {
        m_services.Beep(1000, 1000);
        MessageBox(0, text, kCaption, MB_OK | icon);
        return true;
    };
    for (std::uint32_t block = 0;; ++block) {
        std::string lines;
        int count = 0;
        while (count < hxu::kLinesPerBlock && std::fgets(line, sizeof line, file)) {
            lines += line;
            ++count;
        }
        bool last = count < hxu::kLinesPerBlock;
        if (!last) {
            const int next = std::fgetc(file);
            last = next == EOF;
            if (!last)
                std::ungetc(next, file);
        }
        const hxu::Bytes b = hxu::CodeBlock(block, last, lines);
        if (!m_link->Send(IDatagramLink::kCommand, b.data(), b.size()))
            return fail("sendto() failed", MB_ICONERROR);
        const std::vector<BYTE> answer = Await(last ? m_timings.hxuLastBlockWaitMs : m_timings.hxuBlockWaitMs);
        if (answer.empty())
            return fail(app::Strings().Load(app::ids::HXU_DOWNLOAD_FAILED), MB_ICONERROR);
        const std::optional<std::uint32_t> acknowledged = hxu::ReadCodeBlockReply(answer.data(), answer.size());
        if (!acknowledged)
            return fail("Unrecognized Response from HXU!!!", MB_ICONERROR);
        if (*acknowledged != block)
            return fail("Unexpected HXU reply!!!", MB_ICONERROR);
        if (last)
            break;
    }
    // The unit burns its new software before it answers again.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timings.hxuDownloadPauseMs);
    while (!m_stop.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(m_timings.hxuDownloadPauseMs, 50)));
    MessageBox(0, app::Strings().Load(app::ids::HXU_DOWNLOADED), kCaption, MB_OK | MB_ICONINFORMATION);
    m_downloaded = true;
    return true;
}

void CHXU::ShowUnitError(const std::string& text)
{
    // Nobody waits for the box: the receive thread and the start-up go on.
    PostMessageBox(0, "\n\nA fatal error was received from the above transceiver:\n\n" + text,
                   app::Strings().Load(app::ids::HXU_ERROR_CAPTION), MB_OK | MB_ICONERROR | MB_SYSTEMMODAL);
}

void CHXU::CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels)
{
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const TransceiverChannelRecord& cap = channels[i];
        const int number =
            cap.channelNo >= 1 && cap.channelNo <= hxu::kMaxChannels ? cap.channelNo : static_cast<int>(i) + 1;
        if (number > hxu::kMaxChannels)
            break;
        Slot& s = m_slots[static_cast<std::size_t>(number - 1)];
        if (s.installed)
            continue;  // a channel number given twice: the first one holds
        auto r = MakeChannelRecord(cap, number, Format("%d kHz", static_cast<int>(std::lround(cap.frequency / 1000.0))),
                                   EnvironmentAbsorption(cap.frequency).value_or(ChannelParameters{}.Absorption), key);
        r->sensitivityFactor = SensitivityFactor(60.0, 50.0);

        s.channel = MakeChannel(*r, static_cast<int>(m_channels.size()));
        r->channel = s.channel.get();
        s.record = std::move(r);
        s.installed = true;
        s.pingRecord = *s.record;
        m_channels.push_back(s.record.get());
    }
}

// ---------------------------------------------------------------------------
// Trigger thread

void CHXU::Start(std::int64_t& duration)
{
    duration = kDefaultInterval;
    TakeSoundVelocity();
    if (m_fatal.load() || !IsRunning() || m_stop.load()) {
        // A unit that cannot ping gives up each ping at once, or the
        // sounder's other units would wait for it for ever.
        Release();
        return;
    }
    const ITransceiverOwner* owner = GetEchoSounder();
    const double soundVelocity = m_soundVelocity.load();
    std::array<hxu::ModeRecord, hxu::kMaxChannels> records{};
    double largest = 0.0;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        Slot& s = m_slots[i];
        if (!s.installed)
            continue;
        StructChannelParameters& r = s.pingRecord;
        CopyRecordForPing(*s.record, r, true);
        r.absorption = EnvironmentAbsorption(r.frequency).value_or(r.absorption);
        r.sampleInterval = SelectSampleInterval(r);
        r.sampleDistance = r.sampleInterval * soundVelocity * 0.5;
        HandPingValues(*s.record, r, *s.channel);
        const int step = owner ? owner->GetStep(static_cast<int>(i) + 2 * m_index) : 0;

        // How many samples the unit sends: one for a silent channel, else
        // the range multipulse or pinger mode asks for, else the channel's.
        double samples = 1.0;
        if (step != 1) {
            const std::optional<double> tracked = owner ? owner->GetMultiPulseScaledDepth() : std::nullopt;
            const std::optional<double> pinger = owner ? owner->GetPingerScaledParameter() : std::nullopt;
            if (tracked && r.sampleInterval > 0.0)
                samples = *tracked / soundVelocity / r.sampleInterval;
            else if (pinger && r.sampleInterval > 0.0)
                samples = *pinger / r.sampleInterval;
            else
                samples = s.channel->ComputeSampleCount(r.sampleDistance);
        }
        const std::uint32_t count =
            std::isfinite(samples) && samples >= 1.0 ? static_cast<std::uint32_t>(std::min(samples, 4.0e9)) : 1u;

        hxu::ModeRecord& m = records[i];
        m.frequency = static_cast<float>(r.frequency);
        m.pulseDuration = static_cast<float>(r.pulseLength);
        m.sampleInterval = static_cast<float>(r.sampleInterval);
        m.samples = count;
        // A mode the unit does not know (a damaged setting) keeps it quiet,
        // like a passive channel.
        if (r.transceiverMode == kActive && step != 1) {
            m.power = static_cast<float>(r.txPower);
            const double candidate = r.txPower * r.pulseLength / (r.maxPower <= kPowerThreshold ? 20.0 : 10.0);
            if (std::isfinite(candidate))
                largest = std::max(largest, candidate);
        } else if (r.transceiverMode == kTest) {
            m.test = true;
        }

        std::lock_guard<std::mutex> lock(m_lock);
        s.received = 0;
        s.expected = count;
        s.fragments = 0;
        s.block = 0;
        s.inProgress = false;
        s.waiting = true;
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pingStart = 0;
    }
    const hxu::Bytes message = hxu::ModeSet(records);
    m_link->Send(IDatagramLink::kData, message.data(), message.size());
    duration = static_cast<std::int64_t>(std::llround(largest * 1e7));
}

void CHXU::PrepareTrigger(int& useSharedTrigger, int* triggerValue)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (triggerValue)
            m_pingLimit = *triggerValue;
    }
    useSharedTrigger = IsRunning() && !m_fatal.load() ? 1 : 0;
}

void CHXU::SetUp(int timeout)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pingLimit = timeout;
    m_triggerTime = CFileTime::Now();
}

int CHXU::Trigger(int)
{
    return m_fatal.load() ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Ping-data thread

void CHXU::ProcessPing(std::uint64_t pingTime)
{
    if (m_fatal.load() || !IsRunning())
        return;
    std::uint32_t header[8];
    GetTrawlHeader(header);
    const double soundVelocity = m_soundVelocity.load();
    for (Slot& s : m_slots) {
        if (!s.installed)
            continue;
        const StructChannelParameters& r = s.pingRecord;
        std::uint32_t words[12];
        GetPingMotion(m_services.Motion(), pingTime, s.channel->GetBottomDepth(), soundVelocity,
                      TransducerOffsets{r.transducerDepth, r.transducerX, r.transducerY}, words);
        s.channel->SetInputHeader(header);
        s.channel->SetInputParameters(words);
        s.channel->AddPing(pingTime);
    }
}

int CHXU::GetChannelDepths(double* depths, int)
{
    if (m_fatal.load())
        return 1;
    // The caller's array has a place for each channel the unit has, not for
    // its absent slots.
    int at = 0;
    for (const Slot& s : m_slots) {
        if (!s.installed)
            continue;
        double depth = 0.0;
        s.channel->ProcessPing(&depth);
        depths[at++] = depth;
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Commands

bool CHXU::OnCommand(unsigned id)
{
    if (id == app::cmd::HXU_ALARM_ON || id == app::cmd::HXU_ALARM_OFF) {
        SendAlarm(id == app::cmd::HXU_ALARM_ON);
        return true;
    }
    if (id == app::cmd::DEBUG_HXU) {
        RunDebugDialog();
        return true;
    }
    return false;
}

bool CHXU::OnUpdateCommand(app::CCmdUI& ui)
{
    if (ui.id != app::cmd::DEBUG_HXU)
        return false;
    ui.Enable(Dialogs() != nullptr);
    return true;
}

void CHXU::RunDebugDialog()
{
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs)
        return;
    HxuDebugDialogValues values;
    values.flags = GetDebugFlags();
    CModalSession session(m_debugDialog);
    const int result = dialogs->RunHxuDebug(values, session.Opened());
    // The unit may have gone while its dialog ran.
    if (session.OwnerGone() || result != 1)
        return;
    SetDebugFlags(values.flags);
}

void CHXU::SendAlarm(bool on)
{
    if (!m_link || !IsRunning())
        return;
    const hxu::Bytes alarm = hxu::Alarm(on);
    m_link->Send(IDatagramLink::kData, alarm.data(), alarm.size());
}

std::array<int, 7> CHXU::GetDebugFlags() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_debugFlags;
}

void CHXU::SetDebugFlags(const std::array<int, 7>& flags)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_debugFlags = flags;
}

CChannel* CHXU::GetSlotChannel(int slot) const
{
    return slot >= 0 && slot < hxu::kMaxChannels ? m_slots[static_cast<std::size_t>(slot)].channel.get() : nullptr;
}

// ---------------------------------------------------------------------------
// Receive thread

double CHXU::ThermistorOhms(std::uint16_t word)
{
    const double v = (static_cast<double>(word) + 8.0) / 65536.0;
    if (v >= 1.0)
        return 0.0;  // the divider's top: no reading
    const double ohms = (10.0 * v / (1.0 - v) - 1.0) * 1000.0;
    return ohms > 0.0 ? ohms : 0.0;
}

std::int16_t CHXU::MotionHundredths(std::uint16_t word)
{
    return static_cast<std::int16_t>(std::lround((word >> 4) * 0.5019449189367376));
}

bool CHXU::SendConnect()
{
    std::array<bool, hxu::kMaxChannels> installed{};
    int count = 0;
    bool splitBeam = false;
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        installed[i] = m_slots[i].installed;
        if (installed[i]) {
            ++count;
            splitBeam = m_slots[i].record->beamType == 1;
        }
    }
    const hxu::Bytes c = hxu::Connect(count == 1 && splitBeam, installed);
    return m_link->Send(IDatagramLink::kCommand, c.data(), c.size());
}

bool CHXU::ClearSlots()
{
    bool busy = false;
    for (Slot& s : m_slots) {
        if (!s.installed)
            continue;
        busy = busy || s.waiting || s.inProgress;
        s.waiting = false;
        s.inProgress = false;
    }
    m_pingStart = 0;
    return busy;
}

bool CHXU::PingAwaited() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return std::any_of(m_slots.begin(), m_slots.end(),
                       [](const Slot& s) { return s.installed && (s.waiting || s.inProgress); });
}

void CHXU::Release()
{
    if (ITransceiverOwner* owner = GetEchoSounder())
        owner->UnlockSemaphore();
}

void CHXU::ReceiveThread()
{
    if (!SendConnect())
        return;
    std::vector<BYTE> buffer(hxu::kMaxReceived);
    int waits = 0;
    int silent = 0;
    while (!m_stop.load()) {
        const int n = m_link->Receive(buffer.data(), buffer.size(), m_timings.hxuReceiveWaitMs);
        if (n == IDatagramLink::kStopped || n == IDatagramLink::kError || m_stop.load())
            return;
        if (!m_fatal.load() && ++waits % kKeepAliveEvery == 0) {
            const hxu::Bytes ck = hxu::KeepAlive();
            m_link->Send(IDatagramLink::kCommand, ck.data(), ck.size());
        }
        if (n == IDatagramLink::kTimeout) {
            // Silence counts only while a ping is awaited: an idle unit (in
            // single-step mode, say) has not lost anything.
            if (!PingAwaited()) {
                silent = 0;
                continue;
            }
            if (++silent < kSilentWaits)
                continue;
            silent = 0;
            m_services.PostUnitStatus(app::ids::HXU_LOST_CONTACT, false);
            bool busy = false;
            {
                std::lock_guard<std::mutex> lock(m_lock);
                busy = ClearSlots();
            }
            if (busy)
                Release();
            if (!SendConnect())
                return;
            continue;
        }
        if (n < 0)
            continue;  // someone else's datagram
        silent = 0;
        if (n >= 4)
            OnDatagram(buffer.data(), static_cast<std::size_t>(n));
        ++m_received;
    }
}

void CHXU::OnDatagram(const BYTE* data, std::size_t size)
{
    if (m_fatal.load())
        return;
    switch (hxu::KindOf(data, size)) {
    case hxu::Kind::Samples:
        if (const auto f = hxu::ReadFragment(data, size))
            OnFragment(*f);
        else
            ++m_dropped;
        break;
    case hxu::Kind::RawBlock:
        if (const auto r = hxu::ReadRawBlock(data, size)) {
            if (CChannel* c = m_slots[static_cast<std::size_t>(r->slot)].channel.get())
                c->SetSampleBlock(r->blockId, r->stride, r->count, r->words.data(), static_cast<int>(r->words.size()));
        } else {
            ++m_dropped;
        }
        break;
    case hxu::Kind::Error:
        OnUnitError(hxu::ReadText(data, size).value_or(std::string()));
        break;
    default:
        break;  // versions, warnings and anything unknown
    }
}

void CHXU::OnUnitError(const std::string& text)
{
    if (m_fatal.exchange(true))
        return;
    ShowUnitError(text);
    bool busy = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        busy = ClearSlots();
    }
    if (busy)
        Release();
    ::PostMessage(::GetMainWindow(), app::WM_ES_OPERATIONCOMMAND, app::OC_STOP, 0);
}

void CHXU::OnFragment(const hxu::Fragment& f)
{
    Slot& s = m_slots[static_cast<std::size_t>(f.slot)];
    if (!s.installed) {
        ++m_dropped;
        return;
    }
    const std::uint64_t now = CFileTime::Now();
    // What the sensors and the sounder get is handed over after the lock.
    bool started = false, gap = false, complete = false, lost = false;
    std::uint64_t pingStart = 0;
    std::array<bool, 2> raised{};
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (std::size_t bit = 0; bit < 2; ++bit) {
            const int state = (f.status >> bit & 1) != 0 ? 2 : 1;
            raised[bit] = m_statusState[bit] == 1 && state == 2;
            m_statusState[bit] = state;
        }
        if (f.first == hxu::kNoSample) {
            s.nextExpected = hxu::kNoSample;
        } else {
            const std::uint32_t n = static_cast<std::uint32_t>(f.power.size());
            if (s.waiting) {
                if (f.first == 0 || f.first < s.nextExpected) {
                    if (m_pingStart == 0)
                        m_pingStart = now;
                    s.waiting = false;
                    s.inProgress = true;
                    started = true;
                } else {
                    const std::int64_t since = static_cast<std::int64_t>(now - m_triggerTime);
                    if (m_triggerTime != 0 && since > m_pingLimit) {
                        // The unit is past this ping: it is given up and passed over.
                        ClearSlots();
                        lost = true;
                    }
                }
            }
            s.nextExpected = f.first + n;
            if (s.inProgress && !lost) {
                if (f.first > s.received) {
                    const std::uint32_t missing = std::min(f.first, s.expected) - std::min(s.received, s.expected);
                    if (missing > 0) {
                        s.channel->AddPowerSamples(nullptr, static_cast<int>(missing), s.block);
                        if (s.record->beamType == 1)
                            s.channel->AddAngleSamples(nullptr, static_cast<int>(missing), s.block);
                        s.received += missing;
                        gap = true;
                    }
                }
                // A fragment that repeats samples already taken adds only
                // what follows them.
                const std::uint32_t skip = s.received > f.first ? s.received - f.first : 0;
                const std::uint32_t still = s.expected > s.received ? s.expected - s.received : 0;
                const std::uint32_t take = skip < n ? std::min(n - skip, still) : 0;
                if (take > 0) {
                    s.channel->AddPowerSamples(f.power.data() + skip, static_cast<int>(take), s.block);
                    if (!f.angles.empty())
                        s.channel->AddAngleSamples(f.angles.data() + skip, static_cast<int>(take), s.block);
                    ++s.block;
                    s.received += take;
                }
                ++s.fragments;
                if ((f.diagnostics & 1) != 0)
                    s.channel->SetDiagnostics(f.adCount, f.adWords.data());
                if ((f.diagnostics & 2) != 0)
                    s.channel->SetAdDiagnostics(f.adCount, f.adWords.data());
                if (s.received >= s.expected) {
                    s.inProgress = false;
                    complete = std::none_of(m_slots.begin(), m_slots.end(),
                                            [](const Slot& o) { return o.installed && (o.waiting || o.inProgress); });
                    if (complete) {
                        pingStart = m_pingStart;
                        m_pingStart = 0;
                    }
                }
            }
        }
    }
    if (raised[0])
        ::PostMessage(::GetMainWindow(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    if (raised[1])
        ::PostMessage(::GetMainWindow(), WM_COMMAND, app::cmd::EVENT_ANNOTATION, 0);
    if (started)
        m_services.Thermistor().SetResistance(m_info.transceiverId, ThermistorOhms(f.thermistor));
    const AnalogMotionSample motion{now, MotionHundredths(f.motion[0]), MotionHundredths(f.motion[1]),
                                    MotionHundredths(f.motion[2])};
    m_services.AnalogMotion().AddAnalogSamples(m_info.transceiverId, &motion, 1);
    if (gap)
        m_services.PostUnitStatus(app::ids::HXU_LOST_SAMPLES, false);
    ITransceiverOwner* owner = GetEchoSounder();
    if (lost) {
        if (owner) {
            owner->SetSkip();
            owner->UnlockSemaphore();
        }
    } else if (complete) {
        ++m_pingsCompleted;
        if (owner)
            owner->UpdatePingTime(pingStart != 0 ? pingStart : now);
    }
}
