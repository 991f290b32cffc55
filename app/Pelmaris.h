// The application object: start-up by model, the program-wide members, the
// commands and services every subsystem calls, and shutdown.
#pragma once

#include "app/base/AppIds.h"
#include "app/base/CommandTarget.h"
#include "app/Help.h"
#include "app/MainFrameInterface.h"
#include "app/SensorObjects.h"
#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CRegistrySupport;
class CWorkload;
class CNavigation;
class CPurseSeine;
class CTrawl;
class CHeave;
class CGeographicInfo;
class CGyroCompass;
class CTemperature;
class CHardwareStatus;
class CNmeaDepth;
class CLobe;
class CLX750;
class CFish;
class CQYNet;
class CQYSerial;
class CRDDialog;
class CQYTriton;
class CRemoteControl;
class CSvpProbe;
class CEchoSounder;

namespace app {

// Operation control and the echo sounder as the application reaches them.
// Engine code fills these in when it is linked in; until then start-up and
// shutdown run with the defaults described at each member.
struct OperationHooks {
    // COperationControl::Init. Default: nothing.
    std::function<void()> init;
    // Installed transceivers. Default: none.
    std::function<int()> transceiverCount;
    // COperationControl::PostStartWithFiles. Default: posts the start of
    // replay (0x4004) with the list, then "show replay buttons".
    std::function<void(std::vector<std::string> files)> postStartWithFiles;
    // COperationControl::PostRestart. Default: posts 0x4005, then "hide
    // replay buttons".
    std::function<void()> postRestart;
    // COperationControl::PostCommand (stop with follow-up command).
    std::function<void(unsigned followUp)> postStop;
    // COperationControl::PostCommand4002 (stop and exit).
    std::function<void()> postStopAndExit;
    // COperationControl::QueueCommand / ExecuteCommand for 0x472 / 0x471.
    // Default: the shell's own executor, which knows stop and exit and close
    // sensors (everything else has nothing to stop while no engine exists).
    std::function<void(unsigned code, LPARAM parameter)> queueCommand;
    std::function<void(unsigned code, LPARAM parameter)> executeCommand;
    // Whether an echo sounder exists / replays. Default: false.
    std::function<CEchoSounder*()> echoSounder;
    std::function<bool()> isReplaying;
    // Operation control's power-off request flag; null: the application's.
    std::function<void(bool on)> setPowerOff;
    std::function<bool()> getPowerOff;
};

// The show-window mode of the open command.
inline constexpr int SW_UNSET = -1;
inline constexpr int SW_SHOWNORMAL = 1;

class CPelmaris : public ICommandTarget {
public:
    CPelmaris();
    ~CPelmaris() override;
    CPelmaris(const CPelmaris&) = delete;
    CPelmaris& operator=(const CPelmaris&) = delete;

    // argv as the program got it (argv[0] names the model). TRUE: run the
    // message loop; FALSE: end the program.
    BOOL InitInstance(const std::vector<std::string>& argv);

    // Builds the main frame from a menu resource; null: failed. Set by the
    // program (the Qt frame) or by tests before InitInstance.
    std::function<std::unique_ptr<IMainFrame>(CPelmaris&, unsigned menuId)> frameFactory;
    OperationHooks operation;
    // The creation table; starts as SensorObjectTable(), tests may change it
    // before InitInstance.
    std::vector<SensorObjectRow> sensorTable;

    // Model --------------------------------------------------------------
    int GetSounderType() const { return m_sounderType; }
    const std::string& GetSounderName() const { return m_sounderName; }
    bool IsTotalType() const { return m_sounderType == kTOTAL; }
    unsigned GetChannelMenuId() const { return m_channelMenuId; }
    unsigned GetMainMenuId() const { return m_mainMenuId; }
    const std::string& GetProgramName() const { return m_programName; }

    // Paths (each folder ends with '/') -----------------------------------
    std::string GetSerializePath() const;
    void SetSerializePath(const std::string& path);
    const std::string& GetTrListPath() const { return m_trListPath; }
    const std::string& GetHxuSwPath() const { return m_hxuSwPath; }
    const std::string& GetDruPowerTranslationPath() const { return m_druPowerPath; }
    const std::string& GetLanguagePath() const { return m_languagePath; }
    const std::string& GetModulePath() const { return m_modulePath; }
    const std::string& GetProgramFolder() const { return m_programFolder; }
    // The writable folder that stands for the program folder.
    const std::string& GetDataFolder() const { return m_dataFolder; }
    std::string GetSettingsPath() const;
    std::string GetHistoryPath();
    void SetHistoryPath(const std::string& path);
    std::string GetMcuMode();
    void SetMcuMode(const std::string& mode);
    void CreateSettingsFolders();

    unsigned GetLanguage() const { return m_language; }
    const std::vector<std::string>& GetAdapterList() const { return m_adapters; }
    void ReadNetworkAdapters();

    int GetGreyScale() const { return m_greyScale; }
    int GetGreyScaleOnSidescan() const { return m_greyScaleOnSidescan; }
    int GetCopperOnSidescan() const { return m_copperOnSidescan; }
    void SetGreyScale(int on);
    void SetGreyScaleOnSidescan(int on);
    void SetCopperOnSidescan(int on);

    HKEY GetUserRoot() const { return m_userRoot; }
    CRegistrySupport& GetRegistry() { return *m_userRegistry; }
    CWorkload& GetWorkload() { return *m_workload; }
    IMainFrame* GetMainFrame() const { return m_frame.get(); }
    HWND GetMainWindow() const;
    CHelp& GetHelp() { return *m_help; }

    // Objects ------------------------------------------------------------
    void* SensorObject(SensorId id) const { return m_sensors[static_cast<std::size_t>(id)]; }
    CNavigation* GetNavigation() const { return static_cast<CNavigation*>(SensorObject(SensorId::Navigation)); }
    CPurseSeine* GetPurseSeine() const { return static_cast<CPurseSeine*>(SensorObject(SensorId::PurseSeine)); }
    CTrawl* GetTrawl() const { return static_cast<CTrawl*>(SensorObject(SensorId::Trawl)); }
    CHeave* GetHeave() const { return static_cast<CHeave*>(SensorObject(SensorId::Heave)); }
    CGeographicInfo* GetGeographicInfo() const { return static_cast<CGeographicInfo*>(SensorObject(SensorId::GeographicInfo)); }
    CGyroCompass* GetGyroCompass() const { return static_cast<CGyroCompass*>(SensorObject(SensorId::Heading)); }
    CTemperature* GetTemperature() const { return static_cast<CTemperature*>(SensorObject(SensorId::Temperature)); }
    CHardwareStatus* GetHardwareStatus() const { return static_cast<CHardwareStatus*>(SensorObject(SensorId::HardwareStatus)); }
    CNmeaDepth* GetNmeaDepth() const { return static_cast<CNmeaDepth*>(SensorObject(SensorId::NmeaDepth)); }
    CLobe* GetLobe() const { return static_cast<CLobe*>(SensorObject(SensorId::Lobe)); }
    CLX750* GetLX750() const { return static_cast<CLX750*>(SensorObject(SensorId::LX750)); }
    CFish* GetFish() const { return static_cast<CFish*>(SensorObject(SensorId::Fish)); }
    CQYNet* GetQYNet() const { return static_cast<CQYNet*>(SensorObject(SensorId::NetworkOutput)); }
    CQYSerial* GetQYSerial() const { return static_cast<CQYSerial*>(SensorObject(SensorId::SerialOutput)); }
    CRDDialog* GetRemoteDisplay() const { return static_cast<CRDDialog*>(SensorObject(SensorId::RemoteDisplay)); }
    CQYTriton* GetQYTriton() const { return static_cast<CQYTriton*>(SensorObject(SensorId::RawDataOutput)); }
    CRemoteControl* GetRemoteControl() const { return static_cast<CRemoteControl*>(SensorObject(SensorId::RemoteControl)); }
    CSvpProbe* GetSvpProbe() const { return static_cast<CSvpProbe*>(SensorObject(SensorId::SvpProbe)); }
    CEchoSounder* GetEchoSounder() const;

    // Services -----------------------------------------------------------
    bool IsReplaying() const;
    void AddAnnotation(const std::string& text, std::uint64_t fileTime);
    std::string GetPositionText() const;
    void SetPositionText(const std::string& text);
    void SetTimeReference(LONG a, LONG b) { m_timeReference = {a, b}; }
    static std::string IntToString(long value) { return std::to_string(value); }
    std::string GetFileVersionText() const;
    // Last valid position and last "LLK" telegram, stamped by the telegram
    // decoder (file times).
    std::atomic<std::uint64_t> lastPositionTime{0};
    std::atomic<std::uint64_t> lastOtherPositionTime{0};
    void CheckNavigationTimer();
    // Whether the navigation object expects positions; set by navigation.
    std::function<bool()> navigationExpectsPositions;
    // Where annotations and status texts go beside the frame; engine and
    // output code set these when they exist.
    std::vector<std::function<void(const std::string& text, std::uint64_t time)>> annotationSinks;

    // Sound velocity profile text to the recorder and the outputs, and one
    // datagram to the recorder only (its result; 0 without a recorder).
    void SendToOutputs(const std::string& text, std::uint64_t fileTime);
    int ForwardToStore(const std::string& text);
    std::vector<std::function<void(const std::string& text, std::uint64_t time)>> svpSinks;
    std::function<int(const std::string& text)> svpStore;
    // Sets the PC clock to the received time plus what has passed since the
    // telegram came in, then ends the navigation's forced update.
    void SetComputerClock(std::uint64_t receptionTime, std::uint64_t receivedTime);
    // How the clock is set (default: the system clock, which needs the right
    // to do so; a refusal changes nothing) and what follows it.
    std::function<bool(std::uint64_t fileTime)> setSystemClock;
    std::function<void()> clockWasSet;

    // Values other subsystems keep here.
    std::atomic<double> tide{0.0};             // metres, negated tide telegram value
    std::atomic<int> historyFlag{0};           // picture history running (remote control)
    std::atomic<int> navigationAnnotationCount{0};
    std::atomic<int> storedPingMode{0};        // 0 maximum, 1 single step, 2 interval
    std::atomic<int> echogramValue{0};
    void SetEchogramValue(int value) { echogramValue = value; }
    std::atomic<bool> fixedInterval{false};
    std::atomic<double> fixedIntervalTime{0.0};  // seconds
    std::atomic<double> levelTime{0.0};

    // File type and open command -----------------------------------------
    void RegisterFileTypes();
    // The desktop's association of .raw files with this program, under the
    // user's XDG data folder.
    void WriteDesktopAssociation();
    bool OnDDECommand(const std::string& command);
    int showWindowMode = SW_SHOWNORMAL;

    // Language and help --------------------------------------------------
    std::string GetResourceDllName(unsigned languageId) const;
    bool LoadResourceDll(unsigned languageId);
    bool ChangeLanguage(unsigned languageId);
    // Folder of the help pages of the language in use (falls back to 1033).
    std::string HelpFolder();

    // Shutdown -----------------------------------------------------------
    void CloseSensors();
    // Asks for the PC to power off; it happens at process end, after every
    // setting is saved (see PowerOffAtExit).
    void PowerOffComputer();
    bool IsPowerOffRequested() const
    {
        return operation.getPowerOff ? operation.getPowerOff() : m_powerOffRequest;
    }
    void SetPowerOffRequest(bool on)
    {
        m_powerOffRequest = on;
        if (operation.setPowerOff)
            operation.setPowerOff(on);
    }
    bool PowerOffPending() const { return m_powerOffPending; }
    // The command that powers the PC off: $ZELVAR_POWEROFF_COMMAND, else the
    // text value PowerOffCommand under Debug, else "systemctl poweroff".
    std::string PowerOffCommand() const;
    // Runs the power-off command when PowerOffComputer was called. The
    // program calls it last, after the application object is gone.
    static void PowerOffAtExit(const std::string& command);

    // Shell's own operation command executor (used while no engine is linked).
    void DefaultExecuteCommand(unsigned code, LPARAM parameter);

    // Commands -----------------------------------------------------------
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    // Targets offered a command before the application (printing document,
    // operation control, installation, environment, outputs, echo sounder).
    std::vector<ICommandTarget*> commandTargets;
    bool RouteCommand(unsigned id);
    bool RouteUpdate(CCmdUI& ui);

    // Last step of start-up: objects that load their user settings once
    // everything else exists (the environment).
    std::function<void()> loadUserSettings;
    // Settings dialog of a sensor or output object, opened by its command;
    // set by the code that knows the object's type.
    std::function<void(SensorId, void*)> sensorDialog;
    // Engine actions behind three commands.
    std::function<void(int on)> onSecondLayer;
    std::function<void(int on)> onExpCalculation;
    std::function<void()> onFreqSweep;

    std::array<int, 7> debugTrace{};
    int expCalculation = 0;
    int secondLayer = 0;

private:
    bool SelectModel(const std::string& argv0);
    void ReadPaths();
    void ReadUnits();
    void StartRequest(const std::vector<std::string>& args);
    void CreateSensorObjects();
    void DestroySensor(SensorId id, bool close);
    void InstallDefaultOperationHooks();
    std::string ToLowerName() const;
    DWORD ReadDword(const char* sub, const char* name, DWORD def, bool writeBack = true);
    std::string ReadString(const char* sub, const char* name, const std::string& def, bool writeBack = true);
    void WriteDword(const char* sub, const char* name, DWORD value);
    void WriteString(const char* sub, const char* name, const std::string& value);

    std::string m_serializePath;
    std::string m_trListPath;
    std::string m_hxuSwPath;
    std::string m_druPowerPath;
    std::string m_languagePath;
    std::string m_modulePath;
    std::string m_programFolder;
    std::string m_dataFolder;
    std::string m_sounderName;
    std::string m_programName;
    int m_sounderType = kQY310;
    unsigned m_channelMenuId = 0;
    unsigned m_mainMenuId = IDR_MENU_QY;
    std::vector<std::string> m_adapters;
    mutable std::mutex m_positionLock;
    std::string m_positionText;
    std::unique_ptr<CRegistrySupport> m_userRegistry;
    HKEY m_userRoot = nullptr;
    std::unique_ptr<CWorkload> m_workload;
    std::unique_ptr<CHelp> m_help;
    int m_greyScale = 1;
    int m_greyScaleOnSidescan = 0;
    int m_copperOnSidescan = 0;
    unsigned m_language = 1033;
    std::unique_ptr<IMainFrame> m_frame;
    std::array<void*, kSensorCount> m_sensors{};
    std::array<const SensorObjectRow*, kSensorCount> m_sensorRows{};
    std::pair<LONG, LONG> m_timeReference{0, 0};
    std::uintptr_t m_navigationTimer = 0;
    bool m_powerOffRequest = false;
    bool m_powerOffPending = false;
    bool m_initialised = false;
};

// The one application object of the running program (null before it is
// built and after it is gone).
CPelmaris* GetPelmaris();

}  // namespace app
