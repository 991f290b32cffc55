// CNVU's firmware upgrade, diagnostic window and diagnostic report.
//
// The upgrade: a status request ("DCSR") marks the next version answer for
// a check; when the transceiver list folder holds a firmware file dated
// later than the unit's, a worker asks the operator on the user-interface
// thread. On "Yes" it holds the unit out of its connect sequence, halts it,
// sends the file by TFTP, reads it back and restarts the unit ("RES") only
// when both are the same; the hold ends with the unit's "Programming
// succeeded.". Any failure raises an alarm, shows a box naming the unit and
// goes to the event log.
#include "transceivers/NVU.h"

#include "base/AppIds.h"
#include "base/TimeText.h"
#include "engine/Channel.h"
#include "platform/EventLog.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"
#include "transceivers/NvuDiagnosticReport.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string Format(const char* format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

std::string Number(double value)
{
    return Format("%f", value);
}

std::string Number(int value)
{
    return std::to_string(value);
}

void LogEvent(WORD type, const std::string& text)
{
    if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
        ReportEvent(log, type, 0, 0, {text});
        DeregisterEventSource(log);
    }
}

}  // namespace

std::string CNVU::DataFolder()
{
    return CPaths::DataRoot();
}

std::string CNVU::UnitName() const
{
    return m_info.transceiverId + " (" + SocketAddress::IpText(m_info.unitAddress) + ")";
}

int CNVU::SendTestCommand(int mode)
{
    return Send(nvu::TestCommand(static_cast<DWORD>(mode))) ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Diagnostic window (user-interface thread)

void CNVU::ShowDiagnostics(int parent)
{
    if (m_diagnosticLink && m_diagnosticLink->IsWindowOpen() && m_diagnosticWindow) {
        m_diagnosticWindow->Raise();
        return;
    }
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs || !m_ring)
        return;
    if (m_diagnosticLink)
        m_diagnosticLink->Detach();
    auto link = std::make_shared<CNvuDiagnosticLink>([this](NvuStatusTexts& texts) { ReadStatusTexts(texts); },
                                                     [this](int selection) {
                                                         if (ITransceiverOwner* owner = GetEchoSounder())
                                                             owner->SendTestCommandToAll(selection);
                                                         else
                                                             SendTestCommand(selection);
                                                     });
    m_diagnosticWindow = dialogs->OpenNvuDiagnostic(link, static_cast<HWND>(static_cast<unsigned>(parent)));
    m_diagnosticLink = m_diagnosticWindow ? std::move(link) : nullptr;
}

void CNVU::ClearPendingFlag()
{
    if (m_diagnosticLink && !m_diagnosticLink->IsWindowOpen()) {
        m_diagnosticLink->Detach();
        m_diagnosticLink.reset();
        m_diagnosticWindow.reset();
    }
}

void CNVU::RefreshStatusTexts()
{
    if (!m_ring)
        return;
    std::array<std::string, 10> lines;
    for (int slot = 0; slot < static_cast<int>(lines.size()); ++slot) {
        const auto r = m_ring->GetPingRecord(slot);
        const std::string time = r.startTime != 0 ? FormatTimeLocal(r.startTime, 2) : "";
        // The tenth line keeps its second blank before "SLost".
        lines[static_cast<std::size_t>(slot)] = Format(
            slot == 9 ? "Startp %6i  Rec %6i /%i  Calc %6i ExpNew %1i Pending %1i New %1i SRate %.1f  SLost "
                        "%i  NotCalc %6i/%6i/%6i/%6i  PT %s "
                      : "Startp %6i  Rec %6i /%i  Calc %6i ExpNew %1i Pending %1i New %1i SRate %.1f SLost "
                        "%i  NotCalc %6i/%6i/%6i/%6i  PT %s ",
            static_cast<int>(r.startSampleNumber), static_cast<int>(r.samplesReceived),
            static_cast<int>(r.samplesRequested), static_cast<int>(r.samplesProcessed), static_cast<int>(r.requested),
            static_cast<int>(r.receiving), static_cast<int>(r.startSeen), static_cast<double>(r.sampleRate),
            static_cast<int>(r.gapBefore), static_cast<int>(r.gapAtStart), static_cast<int>(r.gapAtCompletion),
            static_cast<int>(r.samplesRequested > r.samplesProcessed ? r.samplesRequested - r.samplesProcessed : 0),
            static_cast<int>(r.blocksProcessed), time.c_str());
    }
    const std::string buffer = Format("Write %8i  Read %8i  Calculated %8i", m_ring->GetWriteIndex(),
                                      m_ring->GetReadIndex(), static_cast<int>(m_pingsCompleted.load()));
    const std::string header = Format("HeaderRead %8i  HeaderWrite %8i \t%i", m_ring->GetReadSlot(),
                                      m_ring->GetWriteSlot(), m_pingMode.load());
    std::lock_guard<std::mutex> lock(m_textLock);
    m_pingLines = std::move(lines);
    m_bufferLine = buffer;
    m_headerLine = header;
}

void CNVU::ReadStatusTexts(NvuStatusTexts& texts)
{
    RefreshStatusTexts();
    std::lock_guard<std::mutex> lock(m_textLock);
    texts.processing = m_processing.load();
    texts.pingLines = m_pingLines;
    texts.bufferLine = m_bufferLine;
    texts.headerLine = m_headerLine;
    for (std::size_t i = 0; i < texts.decimationLines.size(); ++i)
        texts.decimationLines[i] = m_decimationLines[i];
    texts.log = m_informationLog;
}

// ---------------------------------------------------------------------------
// Diagnostic report (receive thread)

void CNVU::WriteDiagnosticReport(int reason)
{
    RefreshStatusTexts();
    std::string text = CNvuDiagnosticReport::SystemInfo();
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        const Block& b = m_blocks[i];
        if (!b.valid)
            continue;
        StructChannelParameters r;
        {
            const auto lock = LockRecords();
            r = *b.record;
        }
        text += CNvuDiagnosticReport::Block(Format("NVU CHANNEL INFO %i: ", static_cast<int>(i)),
                                            {
                                                {"bValid", Number(1)},
                                                {"bSlave", Number(b.slave ? 1 : 0)},
                                                {"iMaster", Number(b.master)},
                                                {"nSlaves", Number(b.slaves)},
                                                {"iFilterType", Number(b.filterType)},
                                                {"iHardWareCh", Number(static_cast<int>(i))},
                                                {"PingLength", Number(static_cast<int>(m_lastRequested.load()))},
                                                {"dSystemImpedance", Number(b.impedance)},
                                            });
        text += CNvuDiagnosticReport::Block("pCPar",
                                            {
                                                {"Frequency", Number(r.frequency)},
                                                {"SampleIntervalInSeconds", Number(r.sampleInterval)},
                                                {"Gain", Number(r.gain)},
                                                {"TwoWayBeamAngle", Number(r.twoWayBeamAngle)},
                                                {"BandWidth", Number(r.bandwidth)},
                                                {"AngleSensitivityAlongship", Number(r.angleSensitivityAlongship)},
                                                {"AngleSensitivityAthwartship", Number(r.angleSensitivityAthwartship)},
                                                {"BeamWidthAlongship", Number(r.beamWidthAlongship)},
                                                {"BeamWidthAthwartship", Number(r.beamWidthAthwartship)},
                                                {"OffsetAlongship", Number(r.angleOffsetAlongship)},
                                                {"OffsetAthwartship", Number(r.angleOffsetAthwartship)},
                                                {"dTranducerImpedance", Number(r.capability.transducerImpedance)},
                                                {"iFpaDec", Number(b.fpaDecimation)},
                                                {"BeamType", Number(r.beamType)},
                                                {"sLongChannelId", r.channelName},
                                                {"enumTransceiverMode", Number(r.transceiverMode)},
                                                {"TransducerAzimuth", Number(r.transducerAzimuth)},
                                                {"SampleInterval", Number(r.sampleIntervalCount)},
                                                {"SampleIntervalInSeconds", Number(r.sampleInterval)},
                                                {"Gain", Number(r.gain)},
                                                {"SystemImpedance", Number(b.impedance)},
                                                {"BandWidth", Number(r.bandwidth)},
                                                {"SequenceMode", Number(m_pingMode.load())},
                                                {"UserLabel", r.transducerLabel},
                                                {"bFMpulse", Number(r.fmPulse)},
                                                {"dFmPulseLength", Number(r.fmPulseLength)},
                                                {"dResolutionLength", Number(r.resolutionLength)},
                                            });
    }
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        text +=
            CNvuDiagnosticReport::Lines("DECIMATION VALUES: ", {m_decimationLines.begin(), m_decimationLines.end()});
        std::vector<std::string> status(m_pingLines.begin(), m_pingLines.end());
        status.push_back(m_bufferLine);
        status.push_back(m_headerLine);
        text += CNvuDiagnosticReport::Lines("BUFFER STATUS: ", status);
        text += m_informationLog;
    }
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const fs::path folder = fs::path(DataFolder()) / "Diag";
    std::error_code error;
    fs::create_directories(folder, error);
    const fs::path path = folder / CNvuDiagnosticReport::FileName(reason, m_serial.load(), local);
    int cause = 0;
    switch (CNvuDiagnosticReport::Write(path.string(), text, &cause)) {
    case CNvuDiagnosticReport::EResult::Written:
        ++m_reportsWritten;
        break;
    case CNvuDiagnosticReport::EResult::NotCreated:
        break;
    case CNvuDiagnosticReport::EResult::DiskFull:
        m_services.PostUnitStatus(app::ids::DISK_FULL, true);
        break;
    case CNvuDiagnosticReport::EResult::WriteError:
        m_services.PostUnitStatus(app::ids::FILE_WRITE_ERROR, false);
        PostMessageBox(GetMainWindow(), std::string("File write error") + ".\n" + std::strerror(cause),
                       "NVU Diagnostic", MB_OK | MB_ICONERROR);
        break;
    }
}

// ---------------------------------------------------------------------------
// Firmware upgrade

void CNVU::UpgradeFirmware(const std::string& versionText)
{
    if (m_stop.load())
        return;
    const CNvuFirmware::Newest file = CNvuFirmware::Search(m_services.GetTransceiverListFolder());
    if (!file.found)
        return;
    const auto unitFirmware = CNvuFirmware::UnitFirmwareName(versionText);
    const auto unitDate = unitFirmware ? CNvuFirmware::TitleDate(*unitFirmware) : std::nullopt;
    if (!unitDate || file.time <= *unitDate)
        return;
    // One upgrade at a time; this thread is the only one that starts them.
    if (m_upgrading.exchange(true))
        return;
    if (m_upgradeThread.joinable())
        m_upgradeThread.join();
    m_upgradeThread = std::thread([this, file, name = *unitFirmware] {
        RunUpgrade(file, name);
        m_upgrading = false;
    });
}

void CNVU::RunUpgrade(const CNvuFirmware::Newest& file, const std::string& unitFirmware)
{
    if (!m_services.AskFirmwareUpgrade(unitFirmware, file.name, [this] { return m_stop.load(); }) || m_stop.load())
        return;
    std::string why;
    if (!ProgramFirmware(file, why) && !why.empty() && !m_stop.load())
        ReportUpgradeFailure(why);
}

bool CNVU::ProgramFirmware(const CNvuFirmware::Newest& file, std::string& why)
{
    const std::string unit = SocketAddress::IpText(m_info.unitAddress);
    // The PC's own address is never a unit to program.
    if (unit == "127.0.0.1")
        return false;
    std::unique_lock<std::mutex> connecting(m_connectLock);
    // Held out of the connect sequence until the unit reports that the new
    // firmware runs; no ping is asked of it meanwhile.
    m_reprogramming = true;
    m_configureRequest = true;
    m_configured = false;
    m_processing = false;
    AbandonPingInFlight();
    Send(nvu::Halt());
    const auto fail = [&](const std::string& text) {
        m_reprogramming = false;
        why = text;
        m_waitCv.notify_all();
        return false;
    };
    if (!Pause(m_timings.stepDelayMs))
        return fail("");
    const auto port = static_cast<std::uint16_t>(m_timings.tftpPort);
    std::string reason;
    if (!m_tftp.TftpPutFile(file.path, unit, 1, port, &reason))
        return fail("sending " + file.name + " failed (" + reason + ")");
    const fs::path readBack = fs::path(DataFolder()) / "nvu4_ReadBack.xsvf";
    std::error_code error;
    fs::create_directories(readBack.parent_path(), error);
    if (!std::ofstream(readBack, std::ios::binary | std::ios::trunc))
        return fail("the read-back file " + readBack.string() + " could not be made");
    if (!m_tftp.TftpPutFile(readBack.string(), unit, 0, port, &reason))
        return fail("reading the firmware back failed (" + reason + ")");
    if (!CNvuFirmware::SameContents(file.path, readBack.string()))
        return fail("the firmware read back differs from " + file.name);
    connecting.unlock();
    if (!Pause(m_timings.firmwareRestartDelayMs))
        return false;
    if (!Send(nvu::Restart()))
        return fail("the restart could not be sent");
    std::unique_lock<std::mutex> lock(m_waitLock);
    const bool succeeded = m_waitCv.wait_for(lock, std::chrono::milliseconds(m_timings.firmwareSuccessWaitMs),
                                             [this] { return !m_reprogramming.load() || m_stop.load(); });
    if (succeeded)
        return true;
    // The unit stays held: it may still be taking its firmware.
    why = "the unit did not report \"Programming succeeded.\" after its restart";
    return false;
}

void CNVU::ReportUpgradeFailure(const std::string& why)
{
    const std::string text = "The firmware of the NVU transceiver " + UnitName() + " was not upgraded: " + why + ".";
    m_services.PostUnitStatus(app::ids::NVU_UPGRADE_FAILED, true);
    LogEvent(EVENTLOG_ERROR_TYPE, text);
    PostMessageBox(GetMainWindow(), text, "NVU firmware upgrade", MB_OK | MB_ICONERROR);
    // Counted once everything is told.
    ++m_upgradeFailures;
}
