#include "outputs/NavNetLink.h"

#include "app/Pelmaris.h"
#include "app/base/RegistrySupport.h"
#include "platform/MessageDispatcher.h"
#include "engine/Channel.h"
#include "outputs/DepthTelegram.h"
#include "sensors/GeographicInfo.h"

#include <atomic>
#include <mutex>

namespace {
std::atomic<CNavNetLink*> g_link{nullptr};
}  // namespace

int CEchoSounderPingSource::GetChannelCount() { return m_sounder.GetChannelCount(); }

bool CEchoSounderPingSource::GetChannelPing(int index, SQYNetChannelPing& out)
{
    CChannel* ch = m_sounder.GetChannel(index);
    if (!ch)
        return false;
    out.processed = ch->GetPingCount() > 0;
    out.pingTime = ch->GetPingTime();
    out.depth = ch->GetBottomDepth();
    out.second = 0.0;
    const ChannelParameters p = ch->GetParameters();
    out.transducerDepth = p.TransducerDepth;
    out.pulseLength = p.PulseLength;
    out.frequency = ch->GetFrequency();
    out.soundVelocity = ch->GetSoundVelocity();
    out.heave = ch->GetLastPingValue();
    out.transducer = ch->GetChannelName();
    CChannel::ParameterCopy copy;
    ch->GetChannelParameters(copy);
    for (std::size_t i = 0; i < 3; ++i)
        out.motion[i] = static_cast<float>(copy.Motion[i]);
    return true;
}

bool CEchoSounderPingSource::GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg,
                                        int reference)
{
    CChannel* ch = m_sounder.GetChannel(index);
    return ch && ch->GetPingSamples(out, n, length, start, tvg, reference);
}

int CEchoSounderPingSource::GetSingleTargets(int, std::vector<std::array<float, 5>>& out)
{
    // The channels keep no single-target record yet: no echo-trace datagram.
    out.clear();
    return 0;
}

double CEchoSounderPingSource::GetEnvironmentSoundVelocity() { return m_soundVelocity ? m_soundVelocity() : 0.0; }

bool CEchoSounderPingSource::GetWaterTemperature(double&) { return false; }

CNavNetLink* CNavNetLink::Instance() { return g_link.load(); }

CNavNetLink::CNavNetLink(app::CPelmaris& application)
    : m_app(application), m_geographic(std::make_shared<CGeographicInfo>())
{
    g_link = this;
    for (app::SensorObjectRow& row : m_app.sensorTable) {
        if (row.id == app::SensorId::GeographicInfo) {
            // Kept by the link, so that a telegram decoded while the sensors
            // close never reaches a deleted history.
            row.create = [geo = m_geographic](app::CPelmaris&) -> void* { return geo.get(); };
            row.destroy = [geo = m_geographic](void*) { geo->Reset(); };
            // Start-up has chosen the model by now, on the user-interface
            // thread, which also owns the annotation timer.
            row.start = [this](void*, app::CPelmaris&) { std::call_once(m_linked, [this] { LinkDecoder(); }); };
        } else if (row.id == app::SensorId::NetworkOutput) {
            row.create = [](app::CPelmaris&) -> void* { return new CQYNet(CRegistrySupport::UserRootKey()); };
            row.start = [this](void* p, app::CPelmaris&) {
                auto* net = static_cast<CQYNet*>(p);
                CQYNetPort::Links links;
                links.isReplaying = [this] { return m_app.IsReplaying(); };
                links.parseNmea = [this](const std::string& text, std::uint64_t received) {
                    ParseNmeaTelegram(text, received, kNmeaFromNetwork);
                };
                net->Port().SetLinks(std::move(links));
                net->CreateSocket();
            };
            row.destroy = [](void* p) { delete static_cast<CQYNet*>(p); };
        }
    }
    SDepthTelegramSources sources;
    sources.soundVelocity = [this] { return environmentSoundVelocity ? environmentSoundVelocity() : 0.0; };
    sources.isReplaying = [this] { return m_app.IsReplaying(); };
    SetDepthTelegramSources(std::move(sources));
    m_geographic->sendAnnotation = [this](const std::string& prefix, const std::string& text) {
        if (CQYNet* net = m_app.GetQYNet())
            net->SendAnnotation(prefix, text);
    };
    m_sinkIndex = m_app.annotationSinks.size();
    m_app.annotationSinks.push_back([this](const std::string& text, std::uint64_t time) {
        if (CQYNet* net = m_app.GetQYNet())
            net->SendCS(text, time);
    });
}

CNavNetLink::~CNavNetLink()
{
    // The application may outlive this link: nothing of it may call here
    // any more.
    if (CQYNet* net = m_app.GetQYNet())
        net->Port().Close();
    if (m_sinkIndex < m_app.annotationSinks.size())
        m_app.annotationSinks[m_sinkIndex] = nullptr;
    m_geographic->sendAnnotation = nullptr;
    std::erase(m_app.commandTargets, &m_commands);
    SetDepthTelegramSources({});
    g_link = nullptr;
}

void CNavNetLink::LinkDecoder()
{
    SNmeaDecoderLinks l;
    l.model = m_app.GetSounderType();
    l.hasMainWindow = [this] { return m_app.GetMainWindow() != 0; };
    // The navigation object's settings are read from its registry section
    // until the object itself exists.
    l.navigationSettings = [] {
        SNavigationSettings s;
        HKEY root = CRegistrySupport::UserRootKey();
        if (!root)
            return s;
        CRegistrySupport reg;
        auto dword = [&](const char* name, std::uint32_t& v) {
            DWORD d = v;
            if (reg.GetDword(root, "Navigation", name, d, FALSE))
                v = d;
        };
        dword("PositionSource", s.PositionSource);
        dword("ClockSource", s.ClockSource);
        dword("SpeedType", s.SpeedType);
        dword("StartField", s.StartField);
        dword("NoOfFields", s.NoOfFields);
        dword("UseAutoZda", s.UseAutoZda);
        dword("GGA_QI", s.GGA_QI);
        dword("GGA_NoOfSat", s.GGA_NoOfSat);
        reg.GetString(root, "Navigation", "FieldSeparator", s.FieldSeparator, FALSE);
        reg.GetString(root, "Navigation", "StartSequence", s.StartSequence, FALSE);
        reg.GetDouble(root, "Navigation", "Latency", s.Latency, FALSE);
        reg.GetDouble(root, "Navigation", "GGA_HorDil", s.GGA_HorDil, FALSE);
        reg.GetDouble(root, "Navigation", "AntennaHeight", s.AntennaHeight, FALSE);
        return s;
    };
    l.sounderRunning = [this] { return m_app.GetEchoSounder() != nullptr; };
    l.clockRequestPending = [this] {
        CEchoSounder* s = m_app.GetEchoSounder();
        return s && s->IsPcClockRequestPending();
    };
    l.setPingRecord = [this](std::uint64_t received, std::uint64_t t) {
        if (CEchoSounder* s = m_app.GetEchoSounder())
            s->SetPingRecord(received, t);
    };
    l.geographic = m_geographic.get();
    CAnnotation::Links a;
    a.isReplaying = [this] { return m_app.IsReplaying(); };
    a.addAnnotation = [this](const std::string& text, std::uint64_t time) { m_app.AddAnnotation(text, time); };
    a.positionText = [this] { return m_app.GetPositionText(); };
    a.postEventNumber = [this](std::uint32_t number) {
        if (HWND frame = m_app.GetMainWindow())
            ::PostMessage(frame, app::WM_ES_EVENTMESSAGE, number, 0);
    };
    m_annotation = std::make_unique<CAnnotation>(std::move(a));
    m_annotation->SetUserKey(CRegistrySupport::UserRootKey());
    m_app.commandTargets.push_back(&m_commands);
    l.annotationNavigation = [this] { return m_annotation->GetNavigation(); };
    l.navigationInterval = [this] { return m_annotation->GetNavigationInterval(); };
    l.externalDepth = &m_externalDepth;
    l.hasRecorder = [this] { return hasRecorder && hasRecorder(); };
    // A handled sentence and an unknown position-like one are both kept as
    // one sentence datagram in every open file.
    l.writeNmeaToFiles = [this](const std::string& sentence, std::uint64_t received) {
        if (storeSentence)
            storeSentence(sentence, received);
    };
    l.writeNmeaDatagram = l.writeNmeaToFiles;
    l.addAnnotation = [this](const std::string& text, std::uint64_t time) { m_app.AddAnnotation(text, time); };
    l.showPositionText = [this](const std::string& text) {
        m_app.SetPositionText(text);
        m_app.lastPositionTime = CFileTime::Now();
        if (HWND frame = m_app.GetMainWindow())
            ::PostMessage(frame, app::WM_ES_STATUSTEXT, 0xB006, 0, MakePayload<std::string>(text));
    };
    l.relayNetwork = [this](const std::string& telegram, const std::string&, std::uint64_t time) {
        if (CQYNet* net = m_app.GetQYNet())
            net->SendNavigation(telegram, time);
    };
    m_decoder.SetLinks(std::move(l));
}

void CNavNetLink::ParseNmeaTelegram(const std::string& text, std::uint64_t received, SNmeaSource source)
{
    // The model is known only after start-up, before the first telegram.
    std::call_once(m_linked, [this] { LinkDecoder(); });
    m_decoder.ParseNmeaTelegram(text, received, source);
}

void CNavNetLink::FillEchoSounderHooks(CEchoSounder::Hooks& hooks)
{
    hooks.geographicAddPing = [this](std::uint64_t time) {
        if (CGeographicInfo* geo = m_app.GetGeographicInfo())
            geo->AddPing(time);
    };
    hooks.networkOutputSendPing = [this] {
        CQYNet* net = m_app.GetQYNet();
        CEchoSounder* sounder = m_app.GetEchoSounder();
        if (!net || !sounder)
            return;
        CEchoSounderPingSource source(*sounder, environmentSoundVelocity);
        net->SendPingDatagrams(source);
        net->SendPingTelegram(source);
    };
}

bool CNavNetLink::Commands::OnCommand(unsigned id)
{
    if (id != CAnnotation::kEventCommand || !link.m_annotation || !link.m_app.GetEchoSounder())
        return false;
    link.m_annotation->OnEvent();
    return true;
}
