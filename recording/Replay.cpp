#include "recording/Replay.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "base/StringTable.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverOwner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace zv::recording {

namespace {

constexpr double kDegreesToRadians = 0.0174532925199;

void PostPaneText(unsigned paneId, const std::string* text)
{
    ::PostMessage(::GetMainWindow(), app::WM_ES_STATUSTEXT, paneId, 0,
                  text ? MakePayload<std::string>(*text) : nullptr);
}

void PostCommand(unsigned id)
{
    ::PostMessage(::GetMainWindow(), WM_COMMAND, id, 0);
}

// Local time of day "HH:MM:SS.cc".
std::string LocalTimeOfDay(FileTime t)
{
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(t, st) && !CFileTime::ToSystemTime(t, st))
        return {};
    const unsigned hundredths = unsigned((t / 100000ULL) % 100ULL);
    return CNumberText::Format("%02u:%02u:%02u.%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond),
                               hundredths);
}

// The channel's own copy of the parameters its record holds.
ChannelParameters ParametersOf(const CTransceiver::StructChannelParameters& r)
{
    ChannelParameters p;
    p.FixedDraft = r.fixedDraft;
    p.VariableDraft = r.variableDraft;
    p.PulseLength = r.pulseLength;
    p.TransmitPower = r.txPower;
    p.Absorption = r.absorption;
    p.TransducerZMinusDepth = r.transducerZMinusDepth;
    p.TransducerDepth = r.transducerDepth;
    p.TransducerZ = r.transducerZ;
    p.TransducerX = r.transducerX;
    p.TransducerY = r.transducerY;
    p.TransducerRoll = r.transducerRoll;
    p.TransducerPitch = r.transducerPitch;
    p.TransducerAzimuth = r.transducerAzimuth;
    p.SampleDistance = r.sampleDistance;
    p.SampleInterval = r.sampleInterval;
    p.Gain = r.gain;
    p.Bandwidth = r.bandwidth;
    p.TwoWayBeamAngle = r.twoWayBeamAngle;
    p.TransceiverMode = r.transceiverMode;
    p.TransducerLabel = r.transducerLabel;
    return p;
}

std::string ShortName(const std::string& text)
{
    const auto blank = text.find_last_of(' ');
    return blank == std::string::npos ? std::string() : text.substr(blank + 1);
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

CReplay::CReplay() = default;

CReplay::CReplay(const CReplayFileList& files, IReplayHost* host, IChannelLinks* channelLinks)
    : CTransceiver(channelLinks), m_host(host ? host : &m_noHost), m_list(std::make_unique<CReplayFileList>(files))
{
    bool opened = false;
    if (m_list->GetCount() > 0) {
        m_list->m_currentIndex = std::clamp(m_list->m_currentIndex, 0, m_list->GetCount() - 1);
        // A file that does not open is what every restart of a replay meets
        // first, so the user hears of it here, once a start, with the reason.
        opened = OpenAndBuild(m_list->GetFileName(m_list->m_currentIndex));
        if (!opened) {
            const std::string why = OpenError();
            if (!why.empty())
                ::PostMessageBox(::GetMainWindow(), app::Strings().Load(IDS_REPLAY_INVALID_FILE) + "\n\n" + why,
                                 "Replay", MB_OK | MB_ICONEXCLAMATION);
        }
    }
    m_reprocess = m_list->m_changeInstallation;
    if (m_reprocess && IsOpen())
        RunInstallationDialog();
    // A file that opened has told the recorder so; told twice, the recorder
    // closed the products its first pings had opened already and went on in
    // second files. Without a file, the old one's products still close.
    if (!opened)
        PostCommand(app::cmd::REPLAY_FILE_OPENED);
    m_lastPosition = 0;
}

CReplay::~CReplay()
{
    if (m_list)
        ClearStatusPanes();
    m_reader.Close();
    m_channels.clear();
    m_channelObjects.clear();
    m_records.clear();
}

void CReplay::ClearStatusPanes()
{
    for (unsigned id : {IDS_PANE_PING_TIME, app::ids::ES_STATUS_TEXT_PANE, app::ids::PING_COUNTER})
        PostPaneText(id, nullptr);
}

std::string CReplay::OpenError() const
{
    std::lock_guard lock(m_namesLock);
    return m_openError;
}

bool CReplay::OpenAndBuild(const std::string& fileName)
{
    {
        std::lock_guard lock(m_namesLock);
        m_currentFile = fileName;
        m_openError.clear();
    }
    ClearStatusPanes();
    std::string error;
    if (!m_reader.Open(fileName, &error)) {
        {
            std::lock_guard lock(m_namesLock);
            m_openError = error;
        }
        app::CStatus::RaiseAlarm(IDS_REPLAY_INVALID_FILE);
        return false;
    }
    const SConfiguration& config = m_reader.Configuration();
    const std::size_t count = config.channels.size();
    if (config.recordedChannelCount > count && m_toldChannelsCut.insert(fileName).second)
        ::PostMessageBox(::GetMainWindow(),
                         fileName + ": the recording describes " + std::to_string(config.recordedChannelCount) +
                             " channels; the first " + std::to_string(count) + " are replayed.",
                         "Replay", MB_OK | MB_ICONINFORMATION);
    const bool first = m_records.empty();
    if (!first && count != m_records.size())
        return false;

    {
        std::lock_guard lock(m_namesLock);
        m_text1 = config.fileName;
        m_text2 = config.lineText;
    }
    m_motionX = config.motionX;
    m_motionY = config.motionY;
    m_motionZ = config.motionZ;
    if (!m_installationInitialised) {
        m_installation.motionX = m_motionX;
        m_installation.motionY = m_motionY;
        m_installation.motionZ = m_motionZ;
    }

    for (std::size_t i = 0; i < count; ++i) {
        const SConfigChannel& c = config.channels[i];
        const std::string label = CNumberText::Format("Replay %.0f kHz", c.frequency / 1000.0);
        if (!m_installationInitialised && i < std::size_t(SReplayInstallation::kChannels)) {
            auto& ch = m_installation.channels[i];
            ch.draught = 0.0;
            ch.x = c.transducerX;
            ch.y = c.transducerY;
            ch.z = c.transducerZ;
            ch.name = CNumberText::Format("%.0f kHz", c.frequency / 1000.0);
        }
        if (first) {
            auto r = std::make_unique<StructChannelParameters>();
            r->channelNumber = int(i + 1);
            r->channelName = c.id;
            r->description = label;
            r->transducerLabel = c.id;
            r->frequency = c.frequency;
            r->capability.frequency = c.frequency;
            r->beamType = int(c.beamType);
            r->gain = r->gain2 = c.gain;
            r->twoWayBeamAngle = c.twoWayBeamAngle;
            r->angleSensitivityAlongship = c.angleSensAlong;
            r->angleSensitivityAthwartship = c.angleSensAthwart;
            r->beamWidthAlongship = c.beamWidthAlong;
            r->beamWidthAthwartship = c.beamWidthAthwart;
            r->angleOffsetAlongship = c.angleOffsetAlong;
            r->angleOffsetAthwartship = c.angleOffsetAthwart;
            r->transducerX = c.transducerX;
            r->transducerY = c.transducerY;
            r->transducerZ = c.transducerZ;
            r->transducerPitch = c.transducerPitch;
            r->transducerRoll = c.transducerRoll;
            r->transducerAzimuth = c.transducerAzimuth;
            r->pulseLength = 0.001;
            std::fill(std::begin(r->pulseLengthTable), std::end(r->pulseLengthTable), 0.001);
            r->txPower = 1000.0;
            std::fill(std::begin(r->powerSteps), std::end(r->powerSteps), 1000.0);
            r->sampleInterval = 0.01;
            r->sampleIntervalCount = 20000;
            r->sampleDistance = 7.5;

            CChannel::Construction k;
            k.Transceiver = this;
            k.ChannelId = int(i);
            k.Parameters = ParametersOf(*r);
            k.Frequency = c.frequency;
            k.ChannelName = label;
            k.SourceName = ShortName(c.id);
            k.StandardParts = true;  // bottom detector, noise estimate and slope tracker
            k.Links = ChannelLinks();
            // The recorded beam: what single targets and their angles need.
            k.BeamType = r->beamType;
            k.BeamWidthAlongship = r->beamWidthAlongship;
            k.BeamWidthAthwartship = r->beamWidthAthwartship;
            k.AngleSensitivityAlongship = r->angleSensitivityAlongship;
            k.AngleSensitivityAthwartship = r->angleSensitivityAthwartship;
            k.AngleOffsetAlongship = r->angleOffsetAlongship;
            k.AngleOffsetAthwartship = r->angleOffsetAthwartship;
            auto channel = std::make_unique<CChannel>(k);
            r->channel = channel.get();
            m_channels.push_back(r.get());
            m_records.push_back(std::move(r));
            m_channelObjects.push_back(std::move(channel));
        } else {
            // A later file must describe the same channels.
            const StructChannelParameters& r = *m_records[i];
            if (c.id != r.channelName || c.frequency != r.frequency)
                return false;
            if (!m_reprocess &&
                (c.transducerZ != r.transducerZ || c.transducerX != r.transducerX || c.transducerY != r.transducerY))
                return false;
        }
    }
    if (first) {
        m_installationInitialised = true;
        m_installation.channelCount = int(count);
    } else if (m_reprocess) {
        const auto lock = LockRecords();
        for (std::size_t i = 0; i < count && i < std::size_t(SReplayInstallation::kChannels); ++i) {
            m_records[i]->transducerX = m_installation.channels[i].x;
            m_records[i]->transducerY = m_installation.channels[i].y;
            m_records[i]->transducerZ = m_installation.channels[i].z;
        }
    }
    PostCommand(app::cmd::REPLAY_FILE_OPENED);
    return true;
}

void CReplay::RunInstallationDialog()
{
    // The dialog edits a copy that it owns with the call: the trigger thread
    // stops waiting when its sounder stops, while the dialog may still be up.
    struct SAnswer
    {
        SReplayInstallation block;
        int applyHeave, reprocess, applyAll;
    };
    // Only Apply Heave is carried in; Reprocess starts off, so that a plain
    // OK keeps the recorded draughts instead of the block's zeros.
    auto answer = std::make_shared<SAnswer>(SAnswer{m_installation, m_applyHeave, 0, 1});
    IReplayHost* host = m_host;
    const CThreadCall::EResult result = m_dialogs.Call(
        [host, answer](const std::function<bool()>& ended) {
            return host->RunInstallationDialog(answer->block, answer->applyHeave, answer->reprocess, answer->applyAll,
                                               ended);
        },
        [this] {
            const ITransceiverOwner* owner = GetEchoSounder();
            return owner != nullptr && owner->IsStopping();
        });
    if (result == CThreadCall::EResult::Yes) {
        m_applyHeave = answer->applyHeave;
        m_reprocess = answer->reprocess;
        m_applyAll = answer->applyAll;
        m_installation = answer->block;
        const auto lock = LockRecords();
        for (std::size_t i = 0; i < m_records.size() && i < std::size_t(SReplayInstallation::kChannels); ++i) {
            m_records[i]->transducerX = m_installation.channels[i].x;
            m_records[i]->transducerY = m_installation.channels[i].y;
            m_records[i]->transducerZ = m_installation.channels[i].z;
        }
    } else {
        m_applyHeave = 1;
        m_reprocess = 0;
        m_applyAll = 0;
        m_installationInitialised = true;
    }
}

int CReplay::Trigger(int)
{
    if (m_stopped || m_channels.empty() || !m_list)
        return 0;

    // A move in the file drops the ping read ahead: the next comes from
    // the new place. Only a ping within one file is read ahead.
    int position = 0;
    bool seek = false;
    if (m_ahead.ready && TakeRequestedPosition(position)) {
        m_ahead.ready = false;
        seek = true;
    }
    if (!m_ahead.ready) {
        if (m_nextFile) {
            const int count = m_list->GetCount();
            if (m_list->m_currentIndex + 1 < count) {
                ++m_list->m_currentIndex;
                app::CStatus::PostStatusMessage(IDS_REPLAY_TOP_OF_FILE);
                if (!OpenAndBuild(m_list->GetFileName(m_list->m_currentIndex))) {
                    m_stopped = true;
                    m_host->RestartReplay(*m_list);
                    return 0;
                }
            } else if (!m_list->m_loop) {
                m_stopped = true;
                PostCommand(app::cmd::CLOSE_REPLAY_FILES);
                app::CStatus::RaiseAlarm(IDS_REPLAY_END_OF_FILE);
                return 0;
            } else {
                m_list->m_currentIndex = 0;
                app::CStatus::PostStatusMessage(IDS_REPLAY_TOP_OF_FILE);
                if (!OpenAndBuild(m_list->GetFileName(0))) {
                    m_stopped = true;
                    m_host->RestartReplay(*m_list);
                    PostCommand(app::cmd::CLOSE_REPLAY_FILES);
                    return 0;
                }
            }
            m_nextFile = false;
            if (m_reprocess && !m_applyAll)
                RunInstallationDialog();
            m_channelStatusChanged = true;
            m_host->RestartPrinting();
        }

        if (seek || TakeRequestedPosition(position))
            m_reader.Seek(position);

        if (m_reader.Offset() == 0) {
            m_reader.BuildPositionTable();
            m_host->UpdateReplayButtons(m_reader.StartTime(), m_reader.EndTime(), m_reader.Path());
            m_host->CopyReplayTable(m_reader.PositionTimes().data());
            m_host->ResetGeographicHistory();
        }
        ReadAhead();
    }
    HandOver();
    // The ping after it is read now, while the ping-data thread works on
    // this one. A file's end waits for the next trigger, which opens the
    // next file first.
    if (!m_nextFile && !m_stopped)
        ReadAhead();
    return 0;
}

// Keeps what the reader hands over in the ping's slots, reusing their
// buffers: the copies out of the mapped file are the reading's own cost.
class CReplay::CAheadSink final : public IReplaySink
{
public:
    explicit CAheadSink(SAheadPing& ping) : m_ping(ping) { m_ping.count = 0; }

    void OnPingStart(const SSampleView& first) override
    {
        Next(SAheadDatagram::EKind::PingStart).header = first.header;
    }
    void OnSample(const SSampleView& s) override
    {
        SAheadDatagram& d = Next(SAheadDatagram::EKind::Sample);
        d.header = s.header;
        d.count = s.count;
        d.power = d.angle = d.traces = false;
        // Only what the hand-over passes on is copied. Counts beyond what a
        // channel can hold are cut here, before they become int arguments.
        constexpr std::size_t kWords = CChannel::kMaxSamples;
        const std::size_t n = std::min<std::size_t>(s.count, kWords);
        if (n == 0)
            return;
        const std::size_t lead = std::min<std::size_t>(s.header.sampleOffset, kWords);
        const std::size_t own = std::min(n, kWords - lead);
        d.staged = int(lead + own);
        if (s.power) {
            d.power = true;
            d.powerWords.resize(kWords);
            std::fill_n(d.powerWords.begin(), lead, rawpower::kNoEcho);
            s.power.CopyTo(std::span(d.powerWords).subspan(lead, own));
        }
        if (s.angle && (s.header.flags == kRawFlagAngle || s.header.flags == (kRawFlagPower | kRawFlagAngle))) {
            d.angle = true;
            d.angleWords.resize(kWords);
            std::fill_n(d.angleWords.begin(), lead, std::uint16_t{0});
            s.angle.CopyTo(std::span(d.angleWords).subspan(lead, own));
        }
        if (s.trace1 && s.trace2) {
            d.traces = true;
            d.trace1.resize(std::size_t(n));
            d.trace2.resize(std::size_t(n));
            s.trace1.CopyTo(std::span(d.trace1));
            s.trace2.CopyTo(std::span(d.trace2));
        }
    }
    void OnSentence(const std::string& text, FileTime time) override
    {
        Text(SAheadDatagram::EKind::Sentence, text, time);
    }
    void OnAnnotation(const std::string& text, FileTime time) override
    {
        Text(SAheadDatagram::EKind::Annotation, text, time);
    }
    void OnProfile(std::uint32_t kind, const std::string& text, FileTime time) override
    {
        Text(SAheadDatagram::EKind::Profile, text, time).type = kind;
    }
    void OnUnknownDatagram(std::uint32_t type) override { Next(SAheadDatagram::EKind::Unknown).type = type; }

private:
    SAheadDatagram& Next(SAheadDatagram::EKind kind)
    {
        if (m_ping.count == m_ping.datagrams.size())
            m_ping.datagrams.emplace_back();
        SAheadDatagram& d = m_ping.datagrams[m_ping.count++];
        d.kind = kind;
        return d;
    }
    SAheadDatagram& Text(SAheadDatagram::EKind kind, const std::string& text, FileTime time)
    {
        SAheadDatagram& d = Next(kind);
        d.text = text;
        d.time = time;
        return d;
    }

    SAheadPing& m_ping;
};

void CReplay::ReadAhead()
{
    CAheadSink sink(m_ahead);
    m_ahead.result = m_reader.ReadPing(sink);
    m_ahead.atEnd = m_reader.AtEnd();
    m_ahead.counter = m_reader.PingCounter();
    m_ahead.ready = true;
}

void CReplay::HandOver()
{
    m_ahead.ready = false;
    for (std::size_t i = 0; i < m_ahead.count; ++i) {
        SAheadDatagram& d = m_ahead.datagrams[i];
        switch (d.kind) {
        case SAheadDatagram::EKind::PingStart:
            OnPingStart(d.header);
            break;
        case SAheadDatagram::EKind::Sample:
            OnSample(d);
            break;
        case SAheadDatagram::EKind::Sentence:
            OnSentence(d.text, d.time);
            break;
        case SAheadDatagram::EKind::Annotation:
            OnAnnotation(d.text, d.time);
            break;
        case SAheadDatagram::EKind::Profile:
            OnProfile(d.type, d.text, d.time);
            break;
        case SAheadDatagram::EKind::Unknown:
            OnUnknownDatagram(d.type);
            break;
        }
    }
    const CReplayReader::SPingResult& r = m_ahead.result;
    m_pingCounter = m_ahead.counter;
    if (r.position != m_lastPosition) {
        m_lastPosition = r.position;
        ::PostMessage(::GetMainWindow(), app::WM_ES_REPLAYTIME, WPARAM(r.position), 0);
    }
    if (m_ahead.atEnd)
        m_nextFile = true;
    // One release a ping, and only once all its samples are with the
    // channels: the ping-data thread may start on it at once.
    if (r.sawSample) {
        m_pingTime = r.pingTime;
        if (ITransceiverOwner* sounder = GetEchoSounder())
            sounder->UpdatePingTime(r.pingTime);
        m_host->PingReady(r.pingTime);
    }
    m_host->AfterPing();
}

void CReplay::OnPingStart(const SSampleHeader& first)
{
    {
        std::lock_guard lock(m_pingLock);
        m_heave = first.heave;
        m_roll1 = first.roll1;
        m_pitch1 = first.pitch1;
        m_roll2 = first.roll2;
        m_pitch2 = first.pitch2;
    }
    m_tide = first.tide;
    m_host->SetTide(first.tide);
}

void CReplay::OnSample(SAheadDatagram& s)
{
    const std::size_t index = s.header.channel - 1u;
    if (index >= m_records.size())
        return;
    StructChannelParameters& r = *m_records[index];
    CChannel* channel = m_channelObjects[index].get();

    m_host->SetReplayTemperature(s.header.temperature);
    const double soundVelocity =
        m_host->EnvironmentUpdateFlag() ? m_host->EnvironmentSoundVelocity() : s.header.soundVelocity;
    SetSoundVelocity(soundVelocity);
    const double draught = m_reprocess && index < std::size_t(SReplayInstallation::kChannels)
                               ? m_installation.channels[index].draught
                               : s.header.draught;
    // The channel's dialog reads the record on the user-interface thread.
    std::unique_lock lock = LockRecords();
    r.transducerDepth = draught;
    r.transducerZMinusDepth = r.transducerZ - draught;
    r.sampleInterval = s.header.sampleInterval;
    r.sampleIntervalCount = int(std::lround(std::clamp(s.header.sampleInterval * 2e6, 0.0, 2e9)));
    r.sampleDistance = float(s.header.sampleInterval * 0.5 * soundVelocity);
    r.bandwidth = s.header.bandwidth;
    r.absorption = s.header.absorption;

    if (float(s.header.pulseDuration) != float(r.pulseLength) || float(s.header.power) != float(r.txPower))
        m_channelStatusChanged = true;
    r.pulseLength = s.header.pulseDuration;
    std::fill(r.pulseLengthTable, r.pulseLengthTable + 3, s.header.pulseDuration);
    r.txPower = s.header.power;
    std::fill(std::begin(r.powerSteps), std::end(r.powerSteps), s.header.power);
    lock.unlock();

    // The buffers read ahead change places with the channel's: the samples
    // are not copied again while the ping-data thread waits for them.
    if (s.power)
        channel->ExchangePowerSamples(s.powerWords, s.staged, 0);
    // Angles go to the channel only beside plain power samples or alone
    // (read ahead only then); wide-band datagrams carry theirs in the trace
    // arrays.
    if (s.angle)
        channel->ExchangeAngleSamples(s.angleWords, s.staged, 0);
    if (s.traces) {
        const int n = int(std::min<std::uint32_t>(s.count, CChannel::kMaxSamples));
        channel->AddFloatSamples(s.trace1.data(), s.trace2.data(), nullptr, float(s.header.sampleInterval), n,
                                 s.header.sampleInterval);
    }
}

void CReplay::OnSentence(const std::string& text, FileTime time)
{
    m_host->ParseNmea(text, time);
}

void CReplay::OnAnnotation(const std::string& text, FileTime time)
{
    m_host->AddAnnotation(text, time);
}

void CReplay::OnProfile(std::uint32_t kind, const std::string& text, FileTime time)
{
    if (text.empty() || kind != kSvpKindRealTime)
        return;
    m_host->SendProfileToOutputs(text, time);
    if (!m_host->EnvironmentUpdateFlag())
        m_host->ApplyReplayProfile(text, time, FolderOf(m_reader.Path()));
}

void CReplay::OnUnknownDatagram(std::uint32_t)
{
    app::CStatus::PostStatusMessage(IDS_REPLAY_UNKNOWN_DATAGRAM);
}

double CReplay::CorrectedHeave(std::size_t channel) const
{
    std::lock_guard lock(m_pingLock);
    if (!m_applyHeave || channel >= m_records.size())
        return 0.0;
    const StructChannelParameters& r = *m_records[channel];
    const double dx = r.transducerX - m_motionX, dy = r.transducerY - m_motionY, dz = r.transducerZ - m_motionZ;
    auto h = [&](double rollDeg, double pitchDeg) {
        const double rr = rollDeg * kDegreesToRadians, p = pitchDeg * kDegreesToRadians;
        return dy * std::sin(rr) * std::cos(p) - dx * std::sin(p) - dz * (1.0 - std::cos(rr) * std::cos(p));
    };
    return (h(m_roll1, m_pitch1) + h(m_roll2, m_pitch2)) * 0.5 + m_heave;
}

void CReplay::ProcessPing(std::uint64_t pingTime)
{
    if (m_stopped || !m_list)
        return;
    const std::uint32_t header[8] = {};
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        CChannel* channel = m_channelObjects[i].get();
        ChannelParameters parameters;
        {
            const auto lock = LockRecords();
            parameters = ParametersOf(*m_records[i]);
        }
        channel->SetChannelParameters(parameters);
        channel->SetInputHeader(header);
        double motion[6];
        {
            std::lock_guard lock(m_pingLock);
            motion[0] = m_applyHeave ? m_heave : 0.0;
            motion[1] = m_roll1;
            motion[2] = m_pitch1;
            motion[3] = m_roll2;
            motion[4] = m_pitch2;
        }
        motion[5] = CorrectedHeave(i);
        std::uint32_t words[12];
        std::memcpy(words, motion, sizeof words);
        channel->SetInputParameters(words);
        channel->AddPing(pingTime);
    }
    // The status window reads the channels: it is told once they hold this
    // ping's settings, not when the trigger thread has only read them.
    if (m_channelStatusChanged.exchange(false))
        ::PostMessage(::GetMainWindow(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
    const std::string time = LocalTimeOfDay(pingTime);
    PostPaneText(IDS_PANE_PING_TIME, &time);
    const std::string counter = CNumberText::Format("%d", m_pingCounter.load());
    PostPaneText(app::ids::PING_COUNTER, &counter);
}

ITransceiverDialogs* CReplay::Dialogs() const
{
    return m_host->TransceiverDialogs();
}

int CReplay::RunChannelDialog(CChannel* channel)
{
    StructChannelParameters* record = FindRecord(channel);
    if (!record)
        return 1;
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs)
        return 0;
    TransceiverDialogValues v;
    {
        // The trigger thread writes the record with every ping.
        const auto lock = LockRecords();
        v.channelName = record->channelName;
        v.description = record->description;
        v.pulseLength = record->pulseLength;
        v.power = record->txPower;
        v.draught = record->transducerDepth;
        v.x = record->transducerX;
        v.y = record->transducerY;
        v.z = record->transducerZ;
        v.frequency = record->frequency;
        std::copy(std::begin(record->powerSteps), std::end(record->powerSteps), v.powerSteps);
        std::copy(std::begin(record->pulseLengthTable), std::end(record->pulseLengthTable), v.pulseLengths);
    }
    v.tide = m_tide.load();
    v.remark = GetRecordedText1();
    v.advanced = [this, channel] { RunAdvancedDialog(channel); };

    CModalSession session(ChannelDialogSlot());
    const int result = dialogs->RunChannel(v, session.Opened());
    if (session.OwnerGone())
        return -1;
    if (result < 0)
        return 0;
    const auto lock = LockRecords();
    record->remark = v.remark.value_or(std::string());
    return 1;
}

int CReplay::GetChannelDepths(double* depths, int)
{
    if (depths)
        for (std::size_t i = 0; i < m_channelObjects.size(); ++i)
            depths[i] = m_channelObjects[i]->GetBottomDepth();
    return 1;
}

std::string CReplay::GetRecordedText1()
{
    std::lock_guard lock(m_namesLock);
    return m_currentFile;
}
std::string CReplay::GetRecordedText2()
{
    std::lock_guard lock(m_namesLock);
    return m_text1;
}
std::string CReplay::GetRecordedText3()
{
    std::lock_guard lock(m_namesLock);
    return m_text2;
}
int CReplay::GetRecordedInteger1()
{
    return m_list ? m_list->m_changeInstallation : 0;
}
int CReplay::GetRecordedInteger2()
{
    return m_list ? m_list->m_fourth : 0;
}
int CReplay::GetRecordedInteger3()
{
    return m_list ? m_list->m_saveData : 0;
}
double CReplay::GetRecordedDouble1()
{
    return m_list ? m_list->m_doubles[0] : -1.0;
}
double CReplay::GetRecordedDouble2()
{
    return m_list ? m_list->m_doubles[1] : -1.0;
}
double CReplay::GetRecordedDouble3()
{
    return m_list ? m_list->m_doubles[2] : -1.0;
}
double CReplay::GetRecordedDouble4()
{
    return m_list ? m_list->m_doubles[3] : -1.0;
}
int CReplay::GetRecordedInteger4()
{
    return m_list ? m_list->m_moreIntegers[0] : 0;
}
int CReplay::GetRecordedInteger5()
{
    return m_list ? m_list->m_moreIntegers[1] : 0;
}
int CReplay::GetRecordedInteger6()
{
    return m_list ? m_list->m_moreIntegers[2] : 0;
}
int CReplay::GetRecordedInteger7()
{
    return m_list ? m_list->m_integers[0] : 0;
}
int CReplay::GetRecordedInteger8()
{
    return m_list ? m_list->m_integers[1] : 0;
}
int CReplay::GetRecordedInteger9()
{
    return m_list ? m_list->m_integers[2] : 0;
}
int CReplay::GetRecordedInteger10()
{
    return m_list ? m_list->m_integers[3] : 0;
}

}  // namespace zv::recording
