// The application object: start-up by model, the program-wide members, the
// commands and services every subsystem calls, and shutdown.
#pragma once

#include "app/ApplicationHost.h"
#include "app/Help.h"
#include "app/MainFrameInterface.h"
#include "app/SensorObjects.h"
#include "app/ShellOperation.h"
#include "base/AppIds.h"
#include "base/CommandTarget.h"
#include "base/SettingsFolder.h"
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
#include <utility>
#include <vector>

class CRegistrySupport;
class CWorkload;
class CEchoSounder;

namespace app {

// The show-window mode of the open command.
inline constexpr int SW_UNSET = -1;
inline constexpr int SW_SHOWNORMAL = 1;

class CPelmaris : public ICommandTarget
{
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
    // Operation control and the program around the shell. Both outlive this
    // object; without them the shell runs on its own (CShellOperation,
    // CShellHost).
    void SetOperation(IOperationLink* link);
    IOperationLink& Operation() const { return *m_operation; }
    void SetHost(IApplicationHost* host);
    IApplicationHost& Host() const { return *m_host; }
    // The creation table; starts as SensorObjectTable(), tests may change it
    // before InitInstance.
    std::vector<SensorObjectRow> sensorTable;

    // Model --------------------------------------------------------------
    SounderModel GetSounderType() const { return m_sounderType; }
    const std::string& GetSounderName() const { return m_sounderName; }
    bool IsTotalType() const { return m_sounderType == SounderModel::TOTAL; }
    unsigned GetChannelMenuId() const { return m_channelMenuId; }
    unsigned GetMainMenuId() const { return m_mainMenuId; }
    const std::string& GetProgramName() const { return m_programName; }

    // Paths (each folder ends with '/') -----------------------------------
    std::string GetSerializePath() const;
    void SetSerializePath(const std::string& path);
    // The serialize path for the objects that keep their settings in files
    // of their own (channel frames, bottom detectors).
    const CSettingsFolder& SettingsFolder() const { return m_settingsFolder; }
    const std::string& GetTrListPath() const { return m_trListPath; }
    // The transceiver list folder for what the program writes below it (the
    // operation settings folders): the program folder is never written on
    // this system, so that share of it lies in the data folder.
    const std::string& GetWritableTrListPath() const
    {
        return m_trListPath == m_programFolder ? m_dataFolder : m_trListPath;
    }
    const std::string& GetHxuSwPath() const { return m_hxuSwPath; }
    const std::string& GetDruPowerTranslationPath() const { return m_druPowerPath; }
    const std::string& GetLanguagePath() const { return m_languagePath; }
    const std::string& GetModulePath() const { return m_modulePath; }
    // The path the program was started by: the model's link beside the
    // executable (the program folder's entry when started through PATH).
    const std::string& GetLaunchPath() const { return m_launchPath; }
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
    // The sensor or output object of a row (null when absent), and its typed
    // object. Any thread may look them up; an object a worker uses must
    // outlive that worker's use by the program's order (the sounder stops
    // before the sensors close, a reader ends before its object goes).
    CSensorObject* SensorObject(SensorId id) const
    {
        std::lock_guard lock(m_sensorLock);
        return m_sensors[static_cast<std::size_t>(id)].get();
    }
    template <class T>
    T* Sensor(SensorId id) const
    {
        // Cast under the lock: the object cannot be going meanwhile.
        std::lock_guard lock(m_sensorLock);
        auto* adapter = dynamic_cast<TSensorObject<T>*>(m_sensors[static_cast<std::size_t>(id)].get());
        return adapter ? adapter->Get() : nullptr;
    }
    CEchoSounder* GetEchoSounder() const;

    // Services -----------------------------------------------------------
    bool IsReplaying() const;
    void AddAnnotation(const std::string& text, std::uint64_t fileTime);
    std::string GetPositionText() const;
    void SetPositionText(const std::string& text);
    void SetTimeReference(LONG a, LONG b) { m_timeReference = {a, b}; }
    static std::string IntToString(long value) { return std::to_string(value); }
    std::string GetFileVersionText() const;
    // Every 10 s: an alarm when positions are expected but none came for 9 s
    // (the decoder's times of the last valid position and of the last other
    // position-like telegram, through the host).
    void CheckNavigationTimer();

    // Sound velocity profile text to the recorder and the outputs, and one
    // datagram to the recorder only (its result; 0 without a recorder).
    void SendToOutputs(const std::string& text, std::uint64_t fileTime);
    int ForwardToStore(const std::string& text);
    // Sets the PC clock to the received time plus what has passed since the
    // telegram came in, then ends the navigation's forced update.
    void SetComputerClock(std::uint64_t receptionTime, std::uint64_t receivedTime);

    // Names from the transceiver installation, each list handed to one
    // sensor object when it exists: every channel name, transceiver by
    // transceiver, to the navigation, purse seine and trawl; one name per
    // transceiver to the temperature and the hardware status; the
    // transceiver names and then the channel names to the heave.
    void FillChannelList();
    void UpdatePurseSeineChannelList();
    void UpdateTrawlChannelList();
    void UpdateTemperatureSourceList();
    void UpdateHardwareStatusSourceList();
    void UpdateHeaveSourceList();
    // All six, once the installation has changed.
    void UpdateSourceLists();
    // The printing document refreshes; the status bar learns whether it
    // has views.
    void RefreshMainFrame();

    // Values other subsystems keep here.
    std::atomic<double> tide{0.0};    // metres, negated tide telegram value
    std::atomic<int> historyFlag{0};  // picture history running (remote control)
    std::atomic<int> navigationAnnotationCount{0};
    std::atomic<int> storedPingMode{0};  // 0 maximum, 1 single step, 2 interval
    std::atomic<int> echogramValue{0};
    void SetEchogramValue(int value) { echogramValue = value; }
    // Fixed-interval mode: every echogram's range follows the interval.
    // Kept as "FixedInterval" (1 on) and "FixedIntervalTime" (seconds, as
    // text) under the key "Echogram"; off unless the settings turn it on.
    std::atomic<bool> fixedInterval{false};
    std::atomic<double> fixedIntervalTime{0.0};  // seconds
    void SetFixedInterval(bool on, double seconds);
    std::atomic<double> levelTime{0.0};

    // File type and open command -----------------------------------------
    void RegisterFileTypes();
    bool OnDDECommand(const std::string& command);
    int showWindowMode = SW_SHOWNORMAL;

    // Language and help --------------------------------------------------
    std::string GetResourceDllName(unsigned languageId) const;
    bool LoadResourceDll(unsigned languageId);
    bool ChangeLanguage(unsigned languageId);
    // Folder of the help pages of the language in use (falls back to 1033).
    std::string HelpFolder();

    // Shutdown -----------------------------------------------------------
    // The first close of the main frame becomes stop and exit: true for that
    // one close of this program, false for every later one.
    bool TakeFirstClose() { return std::exchange(m_firstClose, false); }
    void CloseSensors();
    // Destroys every sensor and output object left (the destructor's step),
    // for a program that must see their threads end before its own objects
    // go.
    void DestroySensors();
    // Asks for the PC to power off; it happens at process end, after every
    // setting is saved (see PowerOffAtExit).
    void PowerOffComputer();
    bool IsPowerOffRequested() const { return m_operation->GetPowerOff(); }
    void SetPowerOffRequest(bool on) { m_operation->SetPowerOff(on); }
    bool PowerOffPending() const { return m_powerOffPending; }
    // The command that powers the PC off: $ZELVAR_POWEROFF_COMMAND, else the
    // text value PowerOffCommand under Debug, else "systemctl poweroff".
    std::string PowerOffCommand() const;
    // Runs the power-off command when PowerOffComputer was called. The
    // program calls it last, after the application object is gone.
    static void PowerOffAtExit(const std::string& command);

    // Commands -----------------------------------------------------------
    bool OnCommand(unsigned id) override;
    bool OnUpdateCommand(CCmdUI& ui) override;
    // The settings dialog commands of the sensor and output objects: each
    // runs its object's dialog, greyed while it has none; false for any
    // other command. A target that routes an object's command ahead of
    // others (the outputs before the echo sounder) hands it here.
    bool OnSensorCommand(unsigned id);
    bool OnUpdateSensorCommand(CCmdUI& ui);
    // Targets offered a command before the application (printing document,
    // operation control, installation, environment, outputs, echo sounder).
    std::vector<ICommandTarget*> commandTargets;
    bool RouteCommand(unsigned id);
    bool RouteUpdate(CCmdUI& ui);

    std::array<int, 7> debugTrace{};
    int expCalculation = 0;
    int secondLayer = 0;

private:
    bool SelectModel(const std::string& argv0);
    void ReadPaths();
    void ReadUnits();
    void ReadFixedInterval();
    void StartRequest(const std::vector<std::string>& args);
    void CreateSensorObjects();
    void DestroySensor(SensorId id, bool close);
    // The installed channel names, or one name per transceiver, to the
    // object of a row when it exists.
    void HandSourceList(SensorId id, bool transceiverNames);
    DWORD ReadDword(const char* sub, const char* name, DWORD def, bool writeBack = true);
    std::string ReadString(const char* sub, const char* name, const std::string& def, bool writeBack = true);
    void WriteDword(const char* sub, const char* name, DWORD value);
    void WriteString(const char* sub, const char* name, const std::string& value);

    std::string m_serializePath;
    CSettingsFolder m_settingsFolder;
    std::string m_trListPath;
    std::string m_hxuSwPath;
    std::string m_druPowerPath;
    std::string m_languagePath;
    std::string m_modulePath;
    std::string m_launchPath;
    std::string m_programFolder;
    std::string m_dataFolder;
    std::string m_sounderName;
    std::string m_programName;
    SounderModel m_sounderType = SounderModel::QY310;
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
    std::unique_ptr<CShellOperation> m_shellOperation;
    IOperationLink* m_operation = nullptr;
    CShellHost m_shellHost;
    IApplicationHost* m_host = &m_shellHost;
    // Written on the user-interface thread, read from any.
    mutable std::mutex m_sensorLock;
    std::array<std::unique_ptr<CSensorObject>, kSensorCount> m_sensors{};
    std::pair<LONG, LONG> m_timeReference{0, 0};
    std::uintptr_t m_navigationTimer = 0;
    bool m_firstClose = true;
    bool m_powerOffPending = false;
    bool m_initialised = false;
};

// The one application object of the running program (null before it is
// built and after it is gone).
CPelmaris* GetPelmaris();

}  // namespace app
