#include "program/SounderHost.h"

#include "app/Workload.h"
#include "app/ui/MainFrame.h"
#include "base/EchosounderError.h"
#include "base/ReplayFileList.h"
#include "base/Status.h"
#include "display/ESDocList.h"
#include "platform/ClockSetter.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "program/Program.h"
#include "recording/EngineStore.h"
#include "recording/Replay.h"
#include "recording/Store.h"
#include "recording/ui/StoreDialog.h"
#include "recording/ui/StoreEchogram.h"
#include "transceivers/UnitTimings.h"

#include <array>

namespace app {

namespace {
// To the host's own window: run "Store..." on the recorder.
constexpr UINT kRunStore = WM_USER + 1;
}  // namespace

CSounderHost::CSounderHost(CProgram& program)
    : m_program(program), m_transceiverServices(program), m_replayHost(program), m_rawData(program, program.Links())
{}

CSounderHost::~CSounderHost()
{
    if (m_storeRequests)
        DestroyWindow(m_storeRequests);
}

void CSounderHost::Init()
{
    m_transceiverServices.Init();
    // A replay started to save data asks for "Store..." from its ping-data
    // thread; the dialog runs here, on the user-interface thread.
    m_storeRequests = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kRunStore)
            OnStore();
        return 0;
    });
}

void CSounderHost::OnStore()
{
    COperationControl& operation = m_program.Operation();
    CEchoSounder* sounder = operation.GetEchoSounder();
    if (!sounder || !sounder->GetRecorder())
        return;
    const auto channelSlots = ChannelSlots();
    const auto dialog = [this](zv::recording::SStoreDialogValues& values) {
        if (const auto& seam = m_program.GetOptions().storeDialog)
            return seam(values);
        zv::recording::CStoreDialog dialog(values, m_program.Frame());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        values = dialog.Values();
        return true;
    };
    // The dialog runs a message loop in which an operation command may delete
    // the sounder: the recorder is looked up again after it.
    zv::recording::CStore::OnStore([this] { return m_program.Recorder().Current(); }, channelSlots, dialog,
                                   [](const std::string& text) {
                                       return MessageBox(GetMainWindow(), text, "Store",
                                                         MB_RETRYCANCEL | MB_ICONSTOP) == IDRETRY;
                                   });
}

void CSounderHost::OnEchogramStorage()
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder || !sounder->GetRecorder())
        return;
    const auto dialog = [this](zv::recording::SStoreEchogramValues& values) {
        if (const auto& seam = m_program.GetOptions().echogramDialog)
            return seam(values);
        zv::recording::CStoreEchogram dialog(values, m_program.Frame());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        values = dialog.Values();
        return true;
    };
    // As with "Store...": an operation command in the dialog's message loop
    // may delete the sounder, so the recorder is looked up again after it.
    zv::recording::CStore::OnEchogramStorage([this] { return m_program.Recorder().Current(); }, ChannelSlots(), dialog);
}

std::array<zv::recording::SStoreDialogValues::SSlot, 4> CSounderHost::ChannelSlots()
{
    std::array<COperationControl::ChannelDisplay, 8> displays;
    int arrangement = 0, extra = 0;
    m_program.Operation().GetChannelDisplays(displays, arrangement, extra);
    std::array<zv::recording::SStoreDialogValues::SSlot, 4> slots;
    for (std::size_t i = 0; i < slots.size(); ++i)
        slots[i] = {displays[i].bExists != 0, displays[i].sLongChannelID};
    return slots;
}

std::unique_ptr<CTransceiver> CSounderHost::CreateTransceiver(TransceiverType, int index,
                                                              const InstalledTransceiverInfo& info, HKEY key)
{
    m_program.ChannelLinks().NewSounder();
    std::unique_ptr<CTransceiver> transceiver = m_transceiverTypes.Create(
        {m_program.Installation(), index, info, key, m_transceiverServices, m_program.GetOptions().unitTimings});
    // The unit's channels keep their keys below the sounder's, and each
    // channel's mode, pulse length and power also in a file of the current
    // profile's folder: without both the unit neither saves nor loads them.
    if (transceiver) {
        transceiver->SetTemperatureSource(&m_temperatureSource);
        transceiver->SetRegistryKey(key);
        transceiver->SetSettingsFolder(m_program.Application().GetSerializePath());
    }
    return transceiver;
}

double CSounderHost::CWaterTemperatureSource::GetTemperature() const
{
    return m_program.WaterTemperature()->GetTemperature().value_or(0.0);
}

std::unique_ptr<CTransceiver> CSounderHost::CreateReplay(const CReplayFileList* files, HKEY)
{
    if (!files)
        return nullptr;
    m_program.ChannelLinks().NewSounder();
    auto replay = std::make_unique<zv::recording::CReplay>(*files, &m_replayHost, &m_program.ChannelLinks());
    // A file that cannot be opened gives no channels: no sounder is started.
    if (!replay->IsOpen())
        return nullptr;
    return replay;
}

std::unique_ptr<IPingDocuments> CSounderHost::CreateDocuments()
{
    return std::make_unique<CESDocList>();
}

std::unique_ptr<ISurveyControl> CSounderHost::CreateSurveyControl(CEchoSounder& sounder)
{
    return std::make_unique<CHBX>(m_program.HbxHost(), sounder, m_program.Application().GetSounderType(),
                                  m_program.GetOptions().hbx);
}

std::unique_ptr<IPingRecorder> CSounderHost::CreateRecorder(CEchoSounder& sounder, HKEY key,
                                                            const std::string& sequenceFile)
{
    CPelmaris& application = m_program.Application();
    zv::recording::CEngineStoreSounder::SApplication values;
    values.programName = [&application] { return application.GetProgramName(); };
    values.fileVersion = [&application] { return application.GetFileVersionText(); };
    values.tide = [&application] { return application.tide.load(); };
    // The geographic history, when its object exists, at a ping's time.
    values.positionAtTime = [&application](std::uint64_t time, double& first, double& second) {
        const CGeographicInfo* history = application.Sensor<CGeographicInfo>(SensorId::GeographicInfo);
        return history && history->GetPositionAtTime(time, first, second);
    };
    values.headingAtTime = [&application](std::uint64_t time) {
        const CGeographicInfo* history = application.Sensor<CGeographicInfo>(SensorId::GeographicInfo);
        return history ? history->GetHeadingAtTime(time) : 0.0;
    };
    values.soundVelocity = [this] { return m_program.Environment().GetSoundVelocity(); };
    // Where the motion sensor sits, into every configuration the recorder
    // writes (also while replaying with "Save Data": the sensor's own). A
    // program without one writes zeros, which the link's null gives, so the
    // answer is not asked.
    values.motionOffsets = [this](double& x, double& y, double& z) {
        m_program.ChannelLinks().MotionSensor().GetSensorOffsets(x, y, z);
    };
    return m_program.Recorder().Attach(
        std::make_unique<zv::recording::CEngineStore>(sounder, std::move(values), m_program.StoreEvents(), &m_rawData,
                                                      key, sequenceFile, application.GetSounderType()));
}

void CSounderHost::AddPingToHistory(std::uint64_t pingTime)
{
    if (CGeographicInfo* geographic = m_program.Application().Sensor<CGeographicInfo>(SensorId::GeographicInfo))
        geographic->AddPing(pingTime);
}

void CSounderHost::SendPingToOutputs(CEchoSounder& sounder)
{
    m_program.Outputs().TakePing(
        {sounder, m_program.Environment().GetSoundVelocity(), m_program.WaterTemperature()->GetTemperature()});
}

bool CSounderHost::GetPingerInterval(double& seconds)
{
    return m_program.PingerMode()->GetPingInterval(seconds);
}

double CSounderHost::GetMeanSoundVelocity(double depth)
{
    return m_program.Environment().GetMeanSoundVelocity(0.0, depth);
}

bool CSounderHost::GetPingerScaledInterval(double& seconds)
{
    return m_program.PingerMode()->GetPingerScaledInterval(seconds);
}

void CSounderHost::StopPinger()
{
    m_program.PingerMode()->SetActive(false);
}

double CSounderHost::ReadWorkload()
{
    return m_program.Application().GetWorkload().GetLoad();
}

void CSounderHost::SampleWorkload()
{
    m_program.Application().GetWorkload().Sample();
}

void CSounderHost::StatusMessage(unsigned stringId)
{
    CStatus::PostStatusMessage(stringId);
}

void CSounderHost::Warning(const std::string& text)
{
    EchosounderWarning("EchoSounder", __LINE__, "%s", text.c_str());
}

void CSounderHost::LinkLost()
{
    // A unit that fell silent is a standing fault until it is set up again.
    CStatus::PostAlarm(ids::TRANSCEIVER_LINK_LOST);
}

void CSounderHost::RequestReplayStore()
{
    PostMessage(m_storeRequests, kRunStore, 0, 0);
}

void CSounderHost::SetClockFromTelegram(std::uint64_t received, std::uint64_t telegram)
{
    SNavigationSettings navigation;
    m_program.Navigation()->GetNavigationSettings(navigation);
    const std::int64_t latency = static_cast<std::int64_t>(navigation.Latency * 10000.0);
    const std::int64_t now = static_cast<std::int64_t>(CFileTime::Now());
    const std::int64_t target =
        now + static_cast<std::int64_t>(telegram) + latency - static_cast<std::int64_t>(received);
    if (target > 0)
        CClockSetter::SetUtc(static_cast<std::uint64_t>(target));
    m_program.Navigation()->EndForceUpdate();
    // Samples stamped by the old clock would be looked up by the new one.
    m_program.ChannelLinks().MotionSensor().ResetHistory();
}

}  // namespace app
