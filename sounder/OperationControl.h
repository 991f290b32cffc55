// Decides how the sounder runs (normal or replay, ping rate, trigger,
// sequences, history saving, simple pinger), keeps the settings of both modes
// in "OperationControl.sav" and in the registry under the current profile,
// and is the only code that creates and deletes the echo sounder and the
// screen layout. Such changes run as operation commands: codes posted to the
// main frame and executed one at a time, in the order posted, on the
// user-interface thread.
#pragma once

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "engine/OperationDialogValues.h"
#include "platform/MessageDispatcher.h"
#include "sounder/EchoSounder.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

class IOperationHost;

class COperationControl
{
public:
    static constexpr std::size_t kRecordSize = 1304;

    struct ChannelDisplay
    {
        int bExists = 0;
        int bShown = 0;
        std::string sShortChannelID;  // at most 19 characters in the file
        std::string sLongChannelID;   // at most 99
    };

    struct Settings
    {
        int enumSpeed = 0;
        double PingInterval = 1.0;
        DWORD enumNormalTrig = CEchoSounder::kTriggerInternal;
        int enumNormalSequence = 0;
        int bSaveHistory = 0;
        int bSyncHistory = 0;
        int iSequence = 0;
        int enumViewArrangement = 0;
        std::array<ChannelDisplay, 8> displays{};
        int HBX = 0;
        std::string sSimplePingerLongChannelID;  // at most 199
        double SimplePingerInterval = 1.0;
        double SimplePingerPulselength = 10.0;
        int SimplePinger = 0;
    };

    COperationControl();
    ~COperationControl();
    COperationControl(const COperationControl&) = delete;
    COperationControl& operator=(const COperationControl&) = delete;

    // What the application provides before Init. The host outlives this
    // object; without one, nothing around it is reached.
    void SetHost(IOperationHost* host);
    void SetEchoSounderContext(const CEchoSounder::Context& context) { m_context = context; }
    void SetTrListPath(const std::string& path) { m_trListPath = path; }
    void SetSerializePath(const std::string& path) { m_serializePath = path; }
    void SetModel(SounderModel model) { m_model = model; }
    void SetPowerOff(bool on) { m_powerOff = on; }
    bool GetPowerOff() const { return m_powerOff; }
    void SetSequenceFileFlag(int on) { m_sequenceFileFlag = on; }

    // Posting, from any thread; each posts one operation command.
    static void PostCommand(UINT menuCommand);  // stop, then the menu command (0: none)
    void PostCommand4002();                     // stop and exit; Shift or the secondary button: no power-off
    static void PostCommand4003();              // close the sensors
    static void PostStartWithFiles(const CReplayFileList* list);  // start replay with a copy of the list
    static void PostRestart();                                    // start normal operation
    static void PostCommand4006();                                // a new layout
    static void PostFactorySettings();                            // factory settings, then restart

    // The main frame hands these two messages (with their payload) here.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void QueueCommand(UINT code, LPARAM parameter, std::unique_ptr<MessagePayload> payload = nullptr);
    void ExecuteCommand(UINT code, LPARAM parameter);
    bool OnCommand(UINT id);
    // "Operation...": the dialog on the settings in force; OK changes the
    // running sounder where it can and restarts it where it must.
    void OnOperation();
    // The dialog's starting values, and what OK does with its result.
    SOperationDialogValues OperationDialogValues();
    void ApplyOperationDialog(const SOperationDialogValues& values);
    // "New User" / "Load User" after the folder dialog: the folder chosen
    // below "Settings" becomes the profile and the sounder restarts with it.
    void SelectUserProfile(const std::string& chosenFolder);
    // The folder of the profiles, where the folder dialog starts.
    std::string GetProfilesFolder() const;
    // "Layout..." after its dialog: the arrangement goes into the block of
    // the current mode, a channel that exists is shown when its box was
    // checked, and a new layout follows.
    void ApplyLayout(int arrangement, const std::array<bool, 8>& checked);
    static std::string ProfileFromFolder(const std::string& settingsFolder, const std::string& chosenFolder);

    void Init();
    // The program's end: the state saved as the destructor saves it, then
    // the frames and the sounder taken down in the order every command takes
    // them, while what the sounder's threads call is still there. The
    // destructor does what is left of it.
    void Close();
    void ReadState();
    void WriteState();
    void ReadSettings(HKEY key, Settings& block);
    void WriteSettings(HKEY key, const Settings& block);
    void ForwardControl(int speed, DWORD trigger, int sequence, double intervalSeconds, int hbx);
    void GetChannelDisplays(std::array<ChannelDisplay, 8>& out, int& arrangement, int& extra) const;

    // The running sounder and the mode in force: asked from any thread (the
    // telegram decoder, the outputs, the sounder's own workers) while this
    // thread starts and deletes sounders. Only this thread uses the sounder
    // beyond that.
    CEchoSounder* GetEchoSounder() const { return m_running.load(std::memory_order_acquire); }
    // Runs f with the running sounder, which is not deleted meanwhile; false
    // (f not run) when none runs. For threads other than this one and the
    // sounder's own workers, which may not hold the pointer while it goes.
    // f must be short and must not wait for this thread.
    bool WithRunningSounder(const std::function<void(CEchoSounder&)>& f) const;
    bool IsBusy() const { return m_busy; }
    int GetMode() const { return m_modeInForce.load(std::memory_order_relaxed); }
    const Settings& GetSettingsInForce() const { return m_inForce; }
    Settings& NormalBlock() { return m_normal; }
    Settings& ReplayBlock() { return m_replay; }
    const CReplayFileList* GetReplayFileList() const { return m_replayFiles.get(); }
    std::string GetSettingsFolder() const;
    std::string GetStateFileName() const;

    static std::vector<unsigned char> BuildRecord(const Settings& block);
    // False unless the record has exactly the size of the layout. A rate or
    // time the operation dialog would refuse leaves the block's value as it
    // was; so does one read from the registry.
    static bool ParseRecord(const std::vector<unsigned char>& record, Settings& block);

private:
    void StartNext();
    void DeleteLayout();
    void DeleteEchoSounder();
    void StopAndExit();
    void CreateEchosounder(int mode);
    void NewLayout();
    void MakeLayout();
    void RestoreFactorySettings();
    void PutInForce(const Settings& block, int mode);
    void NameExternalDepthSources(const std::array<ChannelDisplay, 8>& displays);
    std::string Profile() const;
    HKEY OpenKeys();
    void CloseKeys();

    struct Pending
    {
        UINT code;
        LPARAM parameter;
        std::unique_ptr<MessagePayload> payload;
    };

    IOperationHost* m_host;
    CEchoSounder::Context m_context;
    std::string m_trListPath;
    std::string m_serializePath;
    SounderModel m_model = SounderModel::QY310;
    bool m_powerOff = false;
    int m_sequenceFileFlag = 0;
    bool m_initialized = false;

    CRegistrySupport m_reg;
    HKEY m_root = nullptr, m_keyNormal = nullptr, m_keyReplay = nullptr, m_keyUser = nullptr, m_keyOperation = nullptr,
         m_keyOperationNormal = nullptr, m_keyOperationReplay = nullptr;

    Settings m_normal, m_replay, m_inForce;
    std::atomic<int> m_modeInForce{CEchoSounder::kNormal};

    std::deque<Pending> m_queue;
    bool m_busy = false;
    std::unique_ptr<CReplayFileList> m_replayFiles;
    std::unique_ptr<CEchoSounder> m_echoSounder;
    std::atomic<CEchoSounder*> m_running{nullptr};
    // Held shared by WithRunningSounder, exclusively while the sounder is
    // taken out of sight before it is deleted.
    mutable std::shared_mutex m_runningAccess;
};
