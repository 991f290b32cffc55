#include "program/ProgramTransceiverServices.h"

#include "app/ui/MainFrame.h"
#include "base/AppIds.h"
#include "base/Status.h"
#include "platform/ThreadCall.h"
#include "program/Program.h"
#include "transceivers/UnitSearchWait.h"
#include "transceivers/ui/SearchNVU.h"

#include <QApplication>

namespace app {

CProgramTransceiverServices::CProgramTransceiverServices(CProgram& program)
    : m_program(program),
      m_hardwareStatus(program.Links(), "transceiver services: hardware status window"),
      m_analogMotion(program.Links(), "transceiver services: heave sensor's analog input"),
      m_thermistor(program.Links(), "transceiver services: water temperature sensor's analog input"),
      m_trawl(program.Links(), "transceiver services: trawl sensor", kTrawlModels)
{}

CProgramTransceiverServices::~CProgramTransceiverServices() = default;

void CProgramTransceiverServices::Init()
{
    m_questions = std::make_unique<CThreadCall>();
    m_unitSearch =
        std::make_unique<CUnitSearchWait>([this](const std::string& text, const std::function<bool()>& done) {
            return CSearchNVU::RunWait(text, done, m_program.Frame());
        });
}

std::string CProgramTransceiverServices::GetTransceiverListFolder() const
{
    return m_program.Application().GetTrListPath();
}

bool CProgramTransceiverServices::AskFirmwareUpgrade(const std::string& unitFirmware, const std::string& newFile,
                                                     const std::function<bool()>& ended)
{
    if (!m_questions)
        return false;
    // The dialog keeps its own copies: the unit that asked may leave while
    // it is up.
    ITransceiverDialogs* dialogs = &m_program.TransceiverDialogs();
    const CThreadCall::EResult result = m_questions->Call(
        [dialogs, unitFirmware, newFile](const std::function<bool()>& left) {
            return dialogs->RunNvuUpgrade(unitFirmware, newFile, left) == 1;
        },
        ended);
    return result == CThreadCall::EResult::Yes;
}

SounderModel CProgramTransceiverServices::GetModel() const
{
    return m_program.Application().GetSounderType();
}

std::optional<double> CProgramTransceiverServices::GetPingerPulseLength() const
{
    double milliseconds = 0.0;
    if (!m_program.PingerMode()->GetPulseLength(milliseconds))
        return std::nullopt;
    return milliseconds;
}

IChannelLinks* CProgramTransceiverServices::ChannelLinks()
{
    return &m_program.ChannelLinks();
}

IMotionSensor& CProgramTransceiverServices::Motion()
{
    return m_program.ChannelLinks().MotionSensor();
}

std::optional<bool> CProgramTransceiverServices::WaitForUnit(const std::string& text, const std::function<bool()>& done)
{
    // Called on the user-interface thread while a unit is made and on the
    // unit's data thread when it must be found again; the dialog runs on
    // the user-interface thread either way.
    if (!m_unitSearch)
        return std::nullopt;
    return m_unitSearch->Wait(text, done);
}

void CProgramTransceiverServices::OnLostSamples()
{
    // A passing loss: a status message (the ring reports at most one a second).
    CStatus::PostStatusMessage(ids::LOST_SAMPLES);
}

void CProgramTransceiverServices::Beep(unsigned, unsigned)
{
    // From the unit's receive thread: the bell rings on the user-interface
    // thread.
    QMetaObject::invokeMethod(
        qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

void CProgramTransceiverServices::PostUnitStatus(unsigned stringId, bool alarm)
{
    if (alarm)
        CStatus::PostAlarm(stringId);
    else
        CStatus::PostStatusMessage(stringId);
}

std::string CProgramTransceiverServices::GetUnitSoftwareFolder() const
{
    const std::string& own = m_program.GetOptions().unitSoftwareFolder;
    return own.empty() ? m_program.Application().GetHxuSwPath() : own;
}

std::optional<double> CProgramTransceiverServices::GetSoundVelocity()
{
    return m_program.Environment().GetSoundVelocity();
}

std::optional<double> CProgramTransceiverServices::GetAbsorption(double frequency)
{
    return m_program.Environment().GetAbsorption(frequency);
}

ITransceiverDialogs* CProgramTransceiverServices::Dialogs()
{
    return &m_program.TransceiverDialogs();
}

double CProgramTransceiverServices::GetTide() const
{
    return m_program.Application().tide.load();
}

void CProgramTransceiverServices::TakeUnitTelegram(const std::string& text, std::uint64_t time)
{
    m_program.ParseNmeaTelegram(text, time, kNmeaFromNetwork);
}

}  // namespace app
