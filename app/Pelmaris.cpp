#include "app/Pelmaris.h"

#include "app/DdeCommand.h"
#include "app/SettingsHives.h"
#include "app/SounderModel.h"
#include "app/Workload.h"
#include "base/DepthUnit.h"
#include "base/EchosounderError.h"
#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "base/StringTable.h"
#include "base/TemperatureUnit.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NetworkAdapters.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace app {

namespace {

CPelmaris* g_app = nullptr;

std::string WithSlash(std::string path)
{
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path;
}

// A stored folder: Windows paths are mapped onto this system and every
// folder ends with a separator.
std::string StoredFolder(const std::string& text)
{
    return WithSlash(CPaths::MapWindowsPath(text));
}

// The link the program was started by, as a full path that is not resolved
// further (resolving would end at the executable, which runs as no model).
std::string LaunchPath(const std::string& argv0)
{
    if (argv0.find('/') == std::string::npos)
        return WithSlash(CPaths::ProgramFolder()) + argv0;
    std::error_code ec;
    const auto full = std::filesystem::absolute(argv0, ec);
    return ec ? argv0 : full.lexically_normal().string();
}

std::string ProductPath(const std::string& sounderName)
{
    return "Zelvar\\EchoSounder\\" + sounderName + "\\1.0\\";
}

}  // namespace

CPelmaris* GetPelmaris()
{
    return g_app;
}

CPelmaris::CPelmaris()
    : sensorTable(SensorObjectTable()),
      m_userRegistry(std::make_unique<CRegistrySupport>()),
      m_workload(std::make_unique<CWorkload>()),
      m_help(std::make_unique<CHelp>()),
      m_shellOperation(std::make_unique<CShellOperation>(*this)),
      m_operation(m_shellOperation.get())
{
    g_app = this;
}

void CPelmaris::SetOperation(IOperationLink* link)
{
    m_operation = link ? link : m_shellOperation.get();
}

void CPelmaris::SetHost(IApplicationHost* host)
{
    m_host = host ? host : &m_shellHost;
}

CPelmaris::~CPelmaris()
{
    if (m_navigationTimer)
        ::KillTimer(0, m_navigationTimer);
    DestroySensors();
    m_frame.reset();
    m_help.reset();
    if (m_userRegistry)
        m_userRegistry->CloseRootKeys();
    m_adapters.clear();
    if (g_app == this)
        g_app = nullptr;
}

// ---------------------------------------------------------------------------
// Registry helpers: every value lives under the model's root.

DWORD CPelmaris::ReadDword(const char* sub, const char* name, DWORD def, bool writeBack)
{
    DWORD value = def;
    m_userRegistry->GetDword(m_userRoot, sub, name, value, writeBack);
    return value;
}

std::string CPelmaris::ReadString(const char* sub, const char* name, const std::string& def, bool writeBack)
{
    std::string value = def;
    m_userRegistry->GetString(m_userRoot, sub, name, value, writeBack);
    return value;
}

void CPelmaris::WriteDword(const char* sub, const char* name, DWORD value)
{
    m_userRegistry->SetDword(m_userRoot, sub, name, value);
}

void CPelmaris::WriteString(const char* sub, const char* name, const std::string& value)
{
    m_userRegistry->SetString(m_userRoot, sub, name, value);
}

// ---------------------------------------------------------------------------
// Start-up

bool CPelmaris::SelectModel(const std::string& argv0)
{
    const std::string exeName = ExecutableModelName(argv0);
    m_programName = exeName;
    if (auto type = ModelFromExecutableName(exeName)) {
        m_sounderType = *type;
        m_sounderName = ModelInfo(*type).name;
        return true;
    }
    if (exeName != kGenericExecutableName) {
        ::MessageBox(0, "Illegal Echosounder Executable File Name", m_programName.c_str(), MB_ICONSTOP);
        return false;
    }
    // The generic name reads the model from the machine-wide settings, and
    // never writes the value there.
    CRegistrySupport machine;
    std::string value = "QY310";
    if (machine.OpenMachineRootKey("Zelvar\\EchoSounder\\"))
        machine.GetString(CRegistrySupport::MachineRootKey(), "", "SounderName", value, FALSE);
    machine.CloseRootKeys();
    auto type = ModelFromSounderName(value);
    if (!type)
        ECHOSOUNDER_FATAL_ERROR("Illegal Echosounder Name '%s'", value.c_str());
    m_sounderType = *type;
    m_sounderName = ToUpperAscii(value);
    return true;
}

BOOL CPelmaris::InitInstance(const std::vector<std::string>& argv)
{
    if (argv.empty())
        ECHOSOUNDER_FATAL_ERROR("GetModuleFileName() failed");
    m_modulePath = CPaths::ModulePath();
    if (m_modulePath.empty())
        ECHOSOUNDER_FATAL_ERROR("GetModuleFileName() failed");
    m_programFolder = WithSlash(CPaths::ProgramFolder());
    m_dataFolder = WithSlash(CPaths::DataRoot());
    m_launchPath = LaunchPath(argv[0]);

    if (!SelectModel(argv[0]))
        return FALSE;
    const SounderModelInfo& info = ModelInfo(m_sounderType);
    m_mainMenuId = info.mainMenu;
    m_channelMenuId = info.channelMenu;

    // A damaged or unwritable settings store is dealt with here, so that
    // nothing after this meets a settings key that cannot be opened.
    CSettingsHives::Prepare(m_programName, GetFileVersionText());
    m_userRegistry->OpenRootKeys(ProductPath(m_sounderName));
    m_userRoot = CRegistrySupport::UserRootKey();

    ReadNetworkAdapters();
    CreateSettingsFolders();
    ReadPaths();
    ReadUnits();
    ReadFixedInterval();

    m_language = ReadDword("", "Language", 1033);
    if (!LoadResourceDll(m_language))
        m_language = 1033;
    m_help->SetHelpFolder(HelpFolder());

    if (frameFactory)
        m_frame = frameFactory(*this, m_mainMenuId);
    if (!m_frame) {
        ::MessageBox(0, "create main MDI Frame window failed", m_programName.c_str(), MB_ICONSTOP);
        return FALSE;
    }
    ::SetMainWindow(m_frame->GetSafeHwnd());
    m_frame->SetGreyScaleFlags(m_greyScale, m_greyScaleOnSidescan, m_copperOnSidescan);
    RegisterFileTypes();

    const DWORD suspendMaximize = ReadDword("Debug", "SuspendMaximize", m_sounderType == SounderModel::RM30 ? 0u : 1u);
    m_frame->ShowMainWindow(suspendMaximize == 0);
    m_frame->FirstLayout();

    if (::SetTimer(m_frame->GetSafeHwnd(), TIMER_WORKLOAD, kWorkloadPeriodMs) == 0)
        ECHOSOUNDER_FATAL_ERROR("IDEvent == 0");

    m_operation->Init();

    // Power-off on exit: armed by the model's variable unless it is empty or
    // begins with 0, n or N (an empty value used to arm it).
    if (info.powerOffVariable) {
        const char* value = std::getenv(info.powerOffVariable);
        if (value && value[0] != '\0' && value[0] != '0' && value[0] != 'n' && value[0] != 'N')
            SetPowerOffRequest(true);
    }

    StartRequest(std::vector<std::string>(argv.begin() + 1, argv.end()));
    CreateSensorObjects();
    m_host->LoadUserSettings();

    m_navigationTimer =
        ::SetTimer(0, 0, kNavigationCheckPeriodMs, [this](HWND, UINT, UINT_PTR, DWORD) { CheckNavigationTimer(); });
    m_initialised = true;
    return TRUE;
}

void CPelmaris::ReadNetworkAdapters()
{
    m_adapters.clear();
    for (const auto& adapter : CNetworkAdapters::List()) {
        if (adapter.address != 0)
            m_adapters.push_back(adapter.AddressText());
    }
}

void CPelmaris::ReadPaths()
{
    m_trListPath = ReadString("", "TrListPath", "");
    m_trListPath = m_trListPath.empty() ? m_programFolder : StoredFolder(m_trListPath);
    // The BOOTP server of QYNVU serves this folder; the program owns it.
    m_host->PathsRead();
    m_hxuSwPath = m_programFolder;
    WriteString("", "HxuSwPath", m_hxuSwPath);
    m_druPowerPath = ReadString("", "DruPowerTranslationPath", "");
    m_druPowerPath = m_druPowerPath.empty() ? m_programFolder : StoredFolder(m_druPowerPath);
    m_languagePath = ReadString("", "LanguagePath", "");
    m_languagePath = m_languagePath.empty() ? m_programFolder + "Language/" : StoredFolder(m_languagePath);
}

void CPelmaris::ReadUnits()
{
    CDepthUnit::SetUnit(static_cast<int>(ReadDword("Units", "Depth", 0)));
    CTemperatureUnit::SetUnit(static_cast<int>(ReadDword("Units", "Temperature", 0)));
    m_greyScale = static_cast<int>(ReadDword("Units", "GreyScale", 1));
    m_greyScaleOnSidescan = static_cast<int>(ReadDword("Units", "GreyScaleOnSidescan", 0));
    m_copperOnSidescan = static_cast<int>(ReadDword("Units", "CopperOnSidescan", 0));
}

void CPelmaris::ReadFixedInterval()
{
    const bool on = ReadDword("Echogram", "FixedInterval", 0) == 1;
    double seconds = 1.0;
    const std::string text = ReadString("Echogram", "FixedIntervalTime", "1.0");
    // A damaged value leaves the mode off: no range follows nonsense.
    const bool usable = CNumberText::TryParseDouble(text, seconds) && std::isfinite(seconds) && seconds > 0.0;
    fixedIntervalTime = usable ? seconds : 1.0;
    fixedInterval = on && usable;
}

void CPelmaris::SetFixedInterval(bool on, double seconds)
{
    if (!(seconds > 0.0) || !std::isfinite(seconds))
        return;
    fixedIntervalTime = seconds;
    fixedInterval = on;
    WriteDword("Echogram", "FixedInterval", on ? 1 : 0);
    WriteString("Echogram", "FixedIntervalTime", CNumberText::Format("%.6f", seconds));
}

void CPelmaris::StartRequest(const std::vector<std::string>& args)
{
    const DWORD suspendAutoStart = ReadDword("Debug", "SuspendAutoStart", 0);
    const DWORD dialogAutoStart = ReadDword("Debug", "DialogAutoStartMode", 0);
    if (!args.empty() && args[0] == "/dde")
        return;  // the file comes as an open command
    if (!args.empty()) {
        if (args[0].empty())
            return;
        std::error_code ec;
        const auto full = std::filesystem::absolute(args[0], ec);
        if (ec)
            return;
        // Paths are kept whole, whatever their length.
        CReplayFileList list;
        list.AddTail(full.string());
        m_operation->PostStartWithFiles(list);
        return;
    }
    if (suspendAutoStart != 0)
        return;
    if (dialogAutoStart != 0)
        ::PostMessage(GetMainWindow(), WM_COMMAND, cmd::OPERATION, 0);
    else if (m_operation->GetTransceiverCount() > 0)
        m_operation->PostRestart();
}

void CPelmaris::CreateSensorObjects()
{
    HKEY sensors = m_userRegistry->OpenKey(m_userRoot, "Sensors", TRUE);
    HKEY installed = sensors ? m_userRegistry->OpenKey(sensors, "Installed", TRUE) : nullptr;
    const unsigned bit = ModelBit(m_sounderType);

    auto giveKey = [&](const SensorObjectRow& row, CSensorObject& object) {
        if (!row.installedKey || !installed)
            return;
        if (HKEY key = m_userRegistry->OpenKey(installed, row.installedKey, TRUE)) {
            object.TakeKey(key);
            m_userRegistry->CloseKey(key);
        }
    };
    // False when the set-up failed; the object is then gone unless its row
    // keeps it.
    auto checkedSetup = [&](const SensorObjectRow& row) {
        auto& object = m_sensors[static_cast<std::size_t>(row.id)];
        if (object->Setup() == 0)
            return true;
        if (!row.keepOnSetupFailure)
            DestroySensor(row.id, true);
        return false;
    };

    for (const auto& row : sensorTable) {
        if (!(row.models & bit) || !row.create)
            continue;
        std::unique_ptr<CSensorObject> made = row.create(*this);
        if (!made)
            continue;
        CSensorObject& object = *made;
        {
            std::lock_guard lock(m_sensorLock);
            m_sensors[static_cast<std::size_t>(row.id)] = std::move(made);
        }
        if (row.deferredSetup)
            continue;
        if (!checkedSetup(row)) {
            if (row.keepOnSetupFailure)
                object.Start();  // kept without key or list
            continue;
        }
        giveKey(row, object);
        object.Start();
        if (row.sourceList)
            (this->*row.sourceList)();
    }
    // Serial output and remote display finish their set-up last.
    for (const auto& row : sensorTable) {
        const auto& object = m_sensors[static_cast<std::size_t>(row.id)];
        if (row.deferredSetup && object && checkedSetup(row))
            giveKey(row, *m_sensors[static_cast<std::size_t>(row.id)]);
    }
    if (installed)
        m_userRegistry->CloseKey(installed);
    if (sensors)
        m_userRegistry->CloseKey(sensors);
}

void CPelmaris::DestroySensor(SensorId id, bool close)
{
    // Out of the table first, so that nobody finds it while it closes.
    std::unique_ptr<CSensorObject> object;
    {
        std::lock_guard lock(m_sensorLock);
        object = std::move(m_sensors[static_cast<std::size_t>(id)]);
    }
    if (object && close)
        object->Close();
}

CEchoSounder* CPelmaris::GetEchoSounder() const
{
    return m_operation->GetEchoSounder();
}

bool CPelmaris::IsReplaying() const
{
    return GetEchoSounder() && m_operation->IsReplaying();
}

HWND CPelmaris::GetMainWindow() const
{
    return m_frame ? m_frame->GetSafeHwnd() : 0;
}

// ---------------------------------------------------------------------------
// Shutdown

void CPelmaris::CloseSensors()
{
    for (SensorId id : SensorCloseOrder())
        DestroySensor(id, true);
}

void CPelmaris::DestroySensors()
{
    // What CloseSensors did not take, in the order outputs first.
    for (SensorId id : SensorDestroyOrder())
        DestroySensor(id, false);
    for (std::size_t i = 0; i < kSensorCount; ++i)
        DestroySensor(static_cast<SensorId>(i), true);
}

void CPelmaris::PowerOffComputer()
{
    // Nothing is powered off here: operation control and the settings are
    // saved while the program ends, so the power-off waits for that.
    m_powerOffPending = true;
}

std::string CPelmaris::PowerOffCommand() const
{
    if (const char* env = std::getenv("ZELVAR_POWEROFF_COMMAND"))
        return env;
    std::string command;
    if (m_userRegistry && m_userRoot)
        m_userRegistry->GetString(m_userRoot, "Debug", "PowerOffCommand", command, FALSE);
    return command.empty() ? std::string("systemctl poweroff") : command;
}

}  // namespace app
