#include "program/DecoderHost.h"

#include "base/AppIds.h"
#include "base/Status.h"
#include "display/HistoryPrinting.h"
#include "platform/ClockSetter.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "sensors/NmeaDecoder.h"

namespace app {

SounderModel CDecoderHost::GetModel()
{
    return m_program.Application().GetSounderType();
}

bool CDecoderHost::HasMainWindow()
{
    return m_program.Application().GetMainWindow() != 0;
}

void CDecoderHost::AddAnnotation(const std::string& text, std::uint64_t time)
{
    m_program.Application().AddAnnotation(text, time);
}

void CDecoderHost::ShowPositionText(const std::string& text)
{
    CPelmaris& application = m_program.Application();
    application.SetPositionText(text);
    if (HWND frame = application.GetMainWindow())
        ::PostMessage(frame, WM_ES_STATUSTEXT, ids::ES_STATUS_TEXT_PANE, 0, MakePayload<std::string>(text));
}

void CDecoderHost::SetTide(double metres)
{
    m_program.Application().tide = metres;
}

void CDecoderHost::PostStatusMessage(const std::string& text)
{
    // The status bar takes its messages by string id.
    static constexpr std::pair<const char*, unsigned> kIds[] = {
        {CNmeaDecoder::kWrongQuality, CNmeaDecoder::IDS_WRONG_QUALITY},
        {CNmeaDecoder::kFewSatellites, CNmeaDecoder::IDS_FEW_SATELLITES},
        {CNmeaDecoder::kLargeDilution, CNmeaDecoder::IDS_LARGE_DILUTION},
    };
    for (const auto& [known, id] : kIds)
        if (text == known)
            CStatus::PostStatusMessage(id);
}

void CDecoderHost::SetComputerClock(std::uint64_t utc)
{
    CClockSetter::SetUtc(utc);
}

bool CDecoderHost::GetNavigationSettings(SNavigationSettings& s)
{
    // Without a navigation object nothing is decoded.
    return m_navigationSettings.Get(
        s, [this](SNavigationSettings& fresh) { return m_program.Navigation()->GetNavigationSettings(fresh); });
}

bool CDecoderHost::IsClockRequest()
{
    return m_program.Navigation()->IsClockRequest();
}

void CDecoderHost::EndForceUpdate()
{
    m_program.Navigation()->EndForceUpdate();
}

void CDecoderHost::SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText)
{
    m_program.Navigation()->SetClockTime(time, clockText, dateText);
}

void CDecoderHost::SetMeasuredSpeed(double knots)
{
    m_program.Navigation()->SetMeasuredSpeed(knots);
}

bool CDecoderHost::IsSounderRunning()
{
    return m_program.Application().GetEchoSounder() != nullptr;
}

bool CDecoderHost::IsClockRequestPending()
{
    // The decoder runs on the network reader and the replay's trigger thread
    // too, while the user-interface thread may delete the sounder.
    bool pending = false;
    m_program.Operation().WithRunningSounder(
        [&](CEchoSounder& sounder) { pending = sounder.IsPcClockRequestPending(); });
    return pending;
}

void CDecoderHost::SetPingRecord(std::uint64_t received, std::uint64_t telegram)
{
    m_program.Operation().WithRunningSounder([&](CEchoSounder& sounder) { sounder.SetPingRecord(received, telegram); });
}

bool CDecoderHost::GetNavigationAnnotation(std::uint32_t& interval)
{
    CAnnotation& annotation = m_program.Annotation();
    interval = annotation.GetNavigationInterval();
    return annotation.GetNavigation();
}

bool CDecoderHost::HasRecorder()
{
    return m_program.Recorder().With([](zv::recording::CStore&) {});
}

void CDecoderHost::SetHeaderValue(double antennaHeight)
{
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.SetHeaderValue(antennaHeight); });
}

void CDecoderHost::WriteNmeaToFiles(const std::string& sentence, std::uint64_t received)
{
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteNmeaToFiles(sentence, received); });
}

void CDecoderHost::WriteNmeaDatagram(const std::string& sentence, std::uint64_t received)
{
    // A position-like sentence the decoder did not handle: one sentence
    // datagram in every open file, and nothing in the side products.
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteNmeaDatagram(sentence, received); });
}

CGeographicInfo* CDecoderHost::GetGeographicInfo()
{
    return &m_program.GeographicInfo();
}

CExternalDepth* CDecoderHost::GetExternalDepth()
{
    return &m_program.ExternalDepth();
}

void CDecoderHost::PrintText(const std::string& text, std::uint64_t)
{
    m_program.Printing().Printing().PrintNavigationText(text);
}

void CDecoderHost::RemoteControl(const std::string& telegram, std::uint64_t received)
{
    m_program.Outputs().TakeText({OutputTextKind::RemoteCommand, telegram, received});
}

void CDecoderHost::ForwardToPostProcessing(const std::string& text)
{
    m_program.Outputs().TakeText({OutputTextKind::PositionForward, text});
}

void CDecoderHost::RelayToOutputs(const std::string& telegram, std::uint64_t time)
{
    m_program.Outputs().TakeText({OutputTextKind::NavigationRelay, telegram, time});
}

}  // namespace app
