// Services of the application object that other subsystems call: folders,
// profiles, annotations, file type, open command, language, help.
#include "app/DdeCommand.h"
#include "app/DesktopAssociation.h"
#include "app/Pelmaris.h"
#include "base/EchosounderError.h"
#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "base/StringTable.h"
#include "platform/ChildProcess.h"
#include "platform/ClockSetter.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace app {

namespace {

std::string WithSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

std::string ReplaceAll(std::string text, char from, char to)
{
    for (char& c : text)
        if (c == from)
            c = to;
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
// Folders and profiles

std::string CPelmaris::GetSettingsPath() const
{
    return m_dataFolder + "Settings";
}

std::string CPelmaris::GetSerializePath() const
{
    return m_serializePath;
}

void CPelmaris::SetSerializePath(const std::string& path)
{
    m_serializePath = WithSlash(path);
    m_settingsFolder.Set(m_serializePath);
}

std::string CPelmaris::GetMcuMode()
{
    return ReadString("", "McuModus", "");
}

void CPelmaris::SetMcuMode(const std::string& mode)
{
    WriteString("", "McuModus", mode);
}

void CPelmaris::CreateSettingsFolders()
{
    std::string path = ReadString("", "SerializePath", "");
    if (path.empty()) {
        // A profile "A.B" lives in Settings/A/B/.
        path = WithSlash(GetSettingsPath()) + ReplaceAll(GetMcuMode(), '.', '/');
    } else {
        path = CPaths::MapWindowsPath(path);
    }
    SetSerializePath(path);
    // Folders are made directly; a stored path never reaches a shell.
    CPaths::CreateFolder(m_serializePath);
    CPaths::CreateFolder(WithSlash(GetSettingsPath()) + "Default/");
    CPaths::CreateFolder(m_dataFolder + "Diag/");
}

std::string CPelmaris::GetHistoryPath()
{
    std::string path = ReadString("", "HistoryPath", "");
    if (path.empty()) {
        switch (m_sounderType) {
        case SounderModel::QY310:
            path = "C:\\QY310\\history";
            break;
        case SounderModel::QYNVU:
            path = "C:\\QYNVU\\history";
            break;
        default:
            path = "C:\\QY210\\history";
            break;
        }
    }
    return CPaths::MapWindowsPath(path);
}

void CPelmaris::SetHistoryPath(const std::string& path)
{
    WriteString("", "HistoryPath", path);
}

void CPelmaris::SetGreyScale(int on)
{
    m_greyScale = on;
    WriteDword("Units", "GreyScale", static_cast<DWORD>(on));
}

void CPelmaris::SetGreyScaleOnSidescan(int on)
{
    m_greyScaleOnSidescan = on;
    WriteDword("Units", "GreyScaleOnSidescan", static_cast<DWORD>(on));
}

void CPelmaris::SetCopperOnSidescan(int on)
{
    m_copperOnSidescan = on;
    WriteDword("Units", "CopperOnSidescan", static_cast<DWORD>(on));
}

std::string CPelmaris::GetPositionText() const
{
    std::lock_guard lock(m_positionLock);
    return m_positionText;
}

void CPelmaris::SetPositionText(const std::string& text)
{
    std::lock_guard lock(m_positionLock);
    m_positionText = text;
}

std::string CPelmaris::GetFileVersionText() const
{
    return ZELVAR_FILE_VERSION;
}

// ---------------------------------------------------------------------------
// Annotations

void CPelmaris::AddAnnotation(const std::string& text, std::uint64_t fileTime)
{
    std::string line = text;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    const HWND frame = GetMainWindow();
    if (frame)
        ::PostMessage(frame, WM_ES_ANNOTATION, 0, 0, MakePayload<std::string>(line));
    m_host->AnnotationToOutputs(line, fileTime);
    if (frame && IsReplaying())
        ::PostMessage(frame, WM_ES_STATUSTEXT, ids::ES_STATUS_TEXT_PANE, 0, MakePayload<std::string>(line));
}

void CPelmaris::SendToOutputs(const std::string& text, std::uint64_t fileTime)
{
    m_host->ProfileToOutputs(text, fileTime);
}

namespace {

std::vector<std::string> ChannelNames(const std::vector<IOperationLink::InstalledTransceiver>& installed)
{
    std::vector<std::string> names;
    for (const auto& transceiver : installed)
        names.insert(names.end(), transceiver.channels.begin(), transceiver.channels.end());
    return names;
}

std::vector<std::string> TransceiverNames(const std::vector<IOperationLink::InstalledTransceiver>& installed)
{
    std::vector<std::string> names;
    for (const auto& transceiver : installed)
        names.push_back(transceiver.name);
    return names;
}

}  // namespace

void CPelmaris::HandSourceList(SensorId id, bool transceiverNames)
{
    CSensorObject* object = SensorObject(id);
    if (!object)
        return;
    const auto installed = m_operation->GetInstalledTransceivers();
    object->SetSourceList(transceiverNames ? TransceiverNames(installed) : ChannelNames(installed));
}

void CPelmaris::FillChannelList()
{
    HandSourceList(SensorId::Navigation, false);
}
void CPelmaris::UpdatePurseSeineChannelList()
{
    HandSourceList(SensorId::PurseSeine, false);
}
void CPelmaris::UpdateTrawlChannelList()
{
    HandSourceList(SensorId::Trawl, false);
}
void CPelmaris::UpdateTemperatureSourceList()
{
    HandSourceList(SensorId::Temperature, true);
}
void CPelmaris::UpdateHardwareStatusSourceList()
{
    HandSourceList(SensorId::HardwareStatus, true);
}

void CPelmaris::UpdateHeaveSourceList()
{
    CSensorObject* heave = SensorObject(SensorId::Heave);
    if (!heave)
        return;
    const auto installed = m_operation->GetInstalledTransceivers();
    heave->SetTransceiverList(TransceiverNames(installed));
    heave->SetSourceList(ChannelNames(installed));
}

void CPelmaris::UpdateSourceLists()
{
    FillChannelList();
    UpdatePurseSeineChannelList();
    UpdateTrawlChannelList();
    UpdateTemperatureSourceList();
    UpdateHardwareStatusSourceList();
    UpdateHeaveSourceList();
}

void CPelmaris::RefreshMainFrame()
{
    const std::optional<bool> printingViews = m_host->RefreshPrintingDocument();
    CStatus* status = m_frame ? m_frame->GetStatus() : nullptr;
    if (printingViews && status)
        status->SetPrintingIndicator(*printingViews);
}

int CPelmaris::ForwardToStore(const std::string& text)
{
    return m_host->RecordProfile(text);
}

void CPelmaris::SetComputerClock(std::uint64_t receptionTime, std::uint64_t receivedTime)
{
    const std::uint64_t now = CFileTime::Now();
    const std::uint64_t target = receivedTime + (now > receptionTime ? now - receptionTime : 0);
    CClockSetter::SetUtc(target);
    m_host->ClockWasSet();
}

// ---------------------------------------------------------------------------
// Navigation age

void CPelmaris::CheckNavigationTimer()
{
    if (!GetEchoSounder() || IsReplaying() || !SensorObject(SensorId::Navigation))
        return;
    if (!m_host->NavigationExpectsPositions())
        return;
    std::uint64_t position = 0, other = 0;
    m_host->GetPositionTimes(position, other);
    const std::uint64_t now = CFileTime::Now();
    constexpr std::uint64_t kSecond = 10'000'000;
    if (now - position < 9 * kSecond)
        return;
    // Missing positions are a standing fault of the survey: an alarm.
    if (now - other >= 3 * kSecond)
        CStatus::PostAlarm(ids::NO_VALID_POSITIONS);
    else
        CStatus::PostAlarm(ids::NO_VALID_POSITIONS_OTHER);
}

// ---------------------------------------------------------------------------
// File type and open command

void CPelmaris::RegisterFileTypes()
{
    // The executable runs as a model only under the model's name: the
    // commands name the link it was started by.
    const std::string module = m_launchPath;
    struct KeyValue
    {
        const char* key;
        std::string value;
    };
    const KeyValue keys[] = {
        {"EchoSounderRawData", "Echosounder Replay"},
        {"EchoSounderRawData\\DefaultIcon", module + ",1"},
        {"EchoSounderRawData\\shell\\open\\ddeexec", "[open(\"%1\")]"},
        {"EchoSounderRawData\\shell\\open\\command", module + " /dde"},
    };
    for (const auto& kv : keys) {
        if (!m_userRegistry->SetString(HKEY_CLASSES_ROOT, kv.key, "", kv.value))
            return;  // stop at the first failure; start-up goes on
    }
    // ".raw" stays with a program that owns it already.
    std::string current;
    HKEY raw = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, ".raw", 0, KEY_READ, &raw) == ERROR_SUCCESS) {
        char buffer[520];
        DWORD size = sizeof buffer;
        DWORD type = 0;
        if (RegQueryValueEx(raw, "", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
            type == REG_SZ) {
            current.assign(buffer, strnlen(buffer, size));
        }
        RegCloseKey(raw);
    }
    if (!current.empty() && current != "EchoSounderRawData")
        return;
    if (!m_userRegistry->SetString(HKEY_CLASSES_ROOT, ".raw", "", "EchoSounderRawData"))
        return;
    CDesktopAssociation::Write(m_programName, m_launchPath);
}

bool CPelmaris::OnDDECommand(const std::string& command)
{
    const auto file = ParseDdeOpenCommand(command);
    if (!file)
        return false;
    if (m_frame)
        m_frame->ShowForOpen(showWindowMode);
    if (!file->empty()) {
        CReplayFileList list;
        list.AddTail(*file);
        m_operation->PostStartWithFiles(list);
    }
    showWindowMode = SW_UNSET;
    return true;
}

// ---------------------------------------------------------------------------
// Language and help

std::string CPelmaris::GetResourceDllName(unsigned languageId) const
{
    return m_languagePath + std::to_string(languageId) + "/Resource.dll";
}

bool CPelmaris::LoadResourceDll(unsigned languageId)
{
    if (CStringTable::IsEnglish(languageId)) {
        Strings().UseEnglish();
        return true;
    }
    const std::string path = GetResourceDllName(languageId);
    if (Strings().LoadFile(path, languageId))
        return true;
    if (m_languagePath.empty())
        ::MessageBox(0, "LoadLibrary failed !", m_programName.c_str(), MB_OK);
    else
        ::MessageBox(0, (Strings().Load(ids::FILE_NOT_FOUND) + "\n\n" + path).c_str(), m_programName.c_str(), MB_OK);
    return false;
}

bool CPelmaris::ChangeLanguage(unsigned languageId)
{
    if (!LoadResourceDll(languageId))
        return false;
    m_language = languageId;
    WriteDword("", "Language", languageId);
    if (m_frame)
        m_frame->ReloadMenu();
    m_help->SetHelpFolder(HelpFolder());
    return true;
}

std::string CPelmaris::HelpFolder()
{
    const std::string folder = m_languagePath + std::to_string(m_language) + "/help";
    if (CPaths::FolderExists(folder))
        return folder;
    const std::string english = m_languagePath + "1033/help";
    if (m_language != CStringTable::kEnglish)
        ::MessageBox(0, (Strings().Load(ids::FILE_NOT_FOUND) + "\n\n" + folder).c_str(), m_programName.c_str(), MB_OK);
    return english;
}

// ---------------------------------------------------------------------------
// Power-off at the very end

void CPelmaris::PowerOffAtExit(const std::string& command)
{
    // Tests never power anything off, whatever they configure.
    if (std::getenv("ZELVAR_TEST")) {
        const char* configured = std::getenv("ZELVAR_POWEROFF_COMMAND");
        if (!configured || command != configured)
            return;
    }
    std::istringstream words(command);
    std::vector<std::string> args;
    for (std::string w; words >> w;)
        args.push_back(w);
    CChildProcess::Run(args);
}

}  // namespace app
