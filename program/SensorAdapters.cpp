#include "program/SensorAdapters.h"

#include "app/ui/MainFrame.h"
#include "engine/Channel.h"
#include "outputs/ui/LX750Dialog.h"
#include "outputs/ui/LobeDialog.h"
#include "outputs/ui/QYNetDialog.h"
#include "outputs/ui/QYSerialDialog.h"
#include "outputs/ui/QYTritonDialog.h"
#include "outputs/ui/RemoteDisplayDialog.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "sensors/ui/GyroCompassDialog.h"
#include "sensors/ui/HeaveDialog.h"
#include "sensors/ui/NavigationDialog.h"
#include "sensors/ui/NmeaDepthDialog.h"
#include "sensors/ui/PurseSeineDialog.h"
#include "sensors/ui/SvpProbeDialog.h"
#include "sensors/ui/TemperatureDialog.h"
#include "sensors/ui/TrawlDialog.h"

namespace app {

namespace {

// The installed channels' names, in channel order, as the output dialogs
// label their channels.
std::vector<std::string> InstalledChannels(CProgram& program)
{
    std::vector<std::string> channels;
    for (const auto& transceiver : program.Application().Operation().GetInstalledTransceivers())
        channels.insert(channels.end(), transceiver.channels.begin(), transceiver.channels.end());
    return channels;
}

}  // namespace

bool CProgramSensorHost::IsReplaying() const
{
    return m_application.IsReplaying();
}

void CNavigationObject::Start()
{
    const std::shared_ptr<CNavigation>& navigation = Shared();
    // The decoder keeps the settings it reads until navigation says they
    // changed.
    CDecoderHost& decoder = m_program.DecoderHost();
    navigation->SetSettingsChanged([&decoder] { decoder.NavigationSettingsChanged(); });
    m_program.Navigation().Set(navigation);
    decoder.NavigationSettingsChanged();
    m_program.ChannelLinks().SetNavigation(navigation, navigation);
}

void CNavigationObject::Unlink()
{
    m_program.ChannelLinks().SetNavigation(nullptr, nullptr);
    m_program.Navigation().Set(nullptr);
    m_program.DecoderHost().NavigationSettingsChanged();
    Get()->SetSettingsChanged({});
}

void CNavigationObject::Close()
{
    // Nobody new reaches it; a call under way holds its own share.
    Unlink();
    Get()->ClosePort();
}

void CNavigationObject::RunSettingsDialog()
{
    CNavigationDialog::Run(*Get(), m_program.Frame());
}

void CTrawlObject::Start()
{
    m_program.ChannelLinks().SetTrawlLine(Shared());
    m_program.SounderHost().TransceiverServices().TrawlLink().Set(Shared());
}

void CTrawlObject::Unlink()
{
    m_program.SounderHost().TransceiverServices().TrawlLink().Set(nullptr);
    m_program.ChannelLinks().SetTrawlLine(nullptr);
}

void CTrawlObject::Close()
{
    Unlink();
    Get()->ClosePort();
}

void CTrawlObject::RunSettingsDialog()
{
    CTrawlDialog::Run(*Get(), m_program.Frame());
}

void CPurseSeineObject::Start()
{
    m_program.ChannelLinks().SetPurseSeineLine(Shared());
    // The echograms read the marks on the user-interface thread, where the
    // object also goes.
    m_program.NetSensors().Set(Get());
}

void CPurseSeineObject::Unlink()
{
    m_program.NetSensors().Set(nullptr);
    m_program.ChannelLinks().SetPurseSeineLine(nullptr);
}

void CPurseSeineObject::Close()
{
    Unlink();
    Get()->ClosePort();
}

void CPurseSeineObject::RunSettingsDialog()
{
    CPurseSeineDialog::Run(*Get(), m_program.Frame());
}

void CHeaveObject::Start()
{
    // The result is not looked at: a line that did not open is chosen
    // again in the dialog.
    Get()->OpenPort();
    m_program.ChannelLinks().SetHeave(Shared(), Shared());
    m_program.SounderHost().TransceiverServices().AnalogMotionLink().Set(Shared());
}

void CHeaveObject::Unlink()
{
    m_program.SounderHost().TransceiverServices().AnalogMotionLink().Set(nullptr);
    m_program.ChannelLinks().SetHeave(nullptr, nullptr);
}

void CHeaveObject::Close()
{
    Unlink();
    Get()->ClosePort();
}

void CHeaveObject::RunSettingsDialog()
{
    CHeaveDialog::Run(*Get(), m_program.Frame());
}

void CHeadingObject::RunSettingsDialog()
{
    CGyroCompassDialog::Run(*Get(), m_program.Frame());
}

void CTemperatureObject::Start()
{
    m_program.WaterTemperature().Set(Shared());
    m_program.SounderHost().TransceiverServices().ThermistorLink().Set(Shared());
}

void CTemperatureObject::Unlink()
{
    m_program.SounderHost().TransceiverServices().ThermistorLink().Set(nullptr);
    m_program.WaterTemperature().Set(nullptr);
}

void CTemperatureObject::Close()
{
    Unlink();
    Get()->ClosePort();
}

void CTemperatureObject::RunSettingsDialog()
{
    CTemperatureDialog::Run(*Get(), m_program.Frame());
}

void CSvpProbeObject::RunSettingsDialog()
{
    CSvpProbeDialog::Run(*Get(), m_program.Frame());
}

void CNmeaDepthObject::RunSettingsDialog()
{
    CNmeaDepthDialog::Run(*Get(), m_program.Frame());
}

CNetworkOutputObject::CNetworkOutputObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CQYNet> net)
    : TOutputObject(slot, std::move(net)), m_program(program)
{}

void CNetworkOutputObject::Start()
{
    CQYNetPort::Links links;
    links.isReplaying = [this] { return m_program.Application().IsReplaying(); };
    links.parseNmea = [this](const std::string& text, std::uint64_t received) {
        m_program.ParseNmeaTelegram(text, received, kNmeaFromNetwork);
    };
    links.storeProfile = [this](const CSvpProfile& profile) { return StoreProfile(profile); };
    Get()->Port().SetLinks(std::move(links));
    // The object positions it sends go into the running recorder's geo file.
    Get()->writeGeoLine = [this](const std::string& line) {
        m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteGeoLine(line); });
    };
    Get()->CreateSocket();
}

void CNetworkOutputObject::RunSettingsDialog()
{
    outputsui::CQYNetDialog::OnNetworkInterface(*Get(), InstalledChannels(m_program), m_program.Frame());
}

bool CNetworkOutputObject::StoreProfile(const CSvpProfile& profile)
{
    return m_program.ProfileStore().StoreAndAnnounce(profile, m_program.Environment());
}

CSerialOutputObject::CSerialOutputObject(CProgram& program, COutputSlot& slot, std::shared_ptr<CQYSerial> hub)
    : TOutputObject(slot, std::move(hub)), m_program(program)
{
    m_program.DepthTelegramLinks().SetHub(Get());
}

CSerialOutputObject::~CSerialOutputObject()
{
    m_program.DepthTelegramLinks().SetHub(nullptr);
}

void CSerialOutputObject::Close()
{
    m_program.DepthTelegramLinks().SetHub(nullptr);
    Get()->Close();
}

void CSerialOutputObject::RunSettingsDialog()
{
    outputsui::CQYSerialDialog::Run(*Get(), InstalledChannels(m_program), m_program.Frame());
}

void CRemoteDisplayObject::RunSettingsDialog()
{
    std::array<COperationControl::ChannelDisplay, 8> displays;
    int arrangement = 0, extra = 0;
    m_program.Operation().GetChannelDisplays(displays, arrangement, extra);
    outputsui::CRemoteDisplayDialog::Channels channels;
    for (std::size_t i = 0; i < channels.size(); ++i)
        channels[i] = {displays[i].sLongChannelID, displays[i].bExists != 0};
    outputsui::CRemoteDisplayDialog::Run(*Get(), channels, m_program.Frame());
}

void CLobeObject::Start()
{
    m_program.LobeLink().Set(Get());
    m_program.ChannelLinks().SetLobeTelegrams(Get());
}

void CLobeObject::Unlink()
{
    m_program.ChannelLinks().SetLobeTelegrams(nullptr);
    m_program.LobeLink().Set(nullptr);
}

void CLobeObject::Close()
{
    Unlink();
    Get()->ClosePort();
}

void CLobeObject::RunSettingsDialog()
{
    outputsui::CLobeDialog::Run(*Get(), m_program.Frame());
}

std::optional<CLobe::SChannelItems> CLobeObject::ChannelItems(CProgram& program, int index)
{
    const CEchoSounder* sounder = program.Operation().GetEchoSounder();
    const CChannel* channel = sounder ? sounder->GetChannel(index) : nullptr;
    const CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
    if (!transceiver)
        return std::nullopt;
    std::string description, name;
    double frequency = 0.0, twoWayBeamAngle = 0.0, bandwidth = 0.0, soundVelocity = 0.0, temperature = 0.0;
    int beamType = 0;
    CLobe::SChannelItems items;
    if (!transceiver->GetChannelParameters(
            channel, description, name, frequency, items.gain, twoWayBeamAngle, bandwidth, items.beamWidthAlongship,
            items.beamWidthAthwartship, items.angleSensitivityAlongship, items.angleSensitivityAthwartship,
            items.offsetAlongship, items.offsetAthwartship, beamType, soundVelocity, temperature))
        return std::nullopt;
    double txPower = 0.0, gain = 0.0, transducerDepth = 0.0;
    transceiver->GetChannelValues(channel, items.pulseLength, txPower, gain, transducerDepth);
    items.maxPower = transceiver->GetMaxPower(channel);
    return items;
}

void CPostProcessingObject::RunSettingsDialog()
{
    outputsui::CLX750Dialog::Run(*Get(), m_program.Frame());
}

CRawDataOutputObject::CRawDataOutputObject(CProgram& program, std::shared_ptr<CQYTriton> output)
    : TSensorObject(std::move(output)), m_program(program)
{
    m_program.SounderHost().RawData().SetOutput(Get());
}

CRawDataOutputObject::~CRawDataOutputObject()
{
    m_program.SounderHost().RawData().SetOutput(nullptr);
}

void CRawDataOutputObject::RunSettingsDialog()
{
    outputsui::CQYTritonDialog::Run(*Get(), m_program.Frame());
}

}  // namespace app
