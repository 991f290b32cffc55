// The one interface through which the engine drives a transceiver. Every
// transceiver type and the replay of recorded files derive from it; the base
// keeps the per-channel records, their registry values and "<name>_T.sav"
// files, and answers look-ups of channel parameters.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"
#include "transceivers/TransceiverRecords.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CModalSession;
namespace app {
struct CCmdUI;
}
class ITransceiverOwner;
class ITransceiverServices;
class ITransceiverDialogs;
class IChannelLinks;
class CChannel;
struct AdvancedTransceiverDialogValues;
struct ChannelParameters;

// Water temperature for the channel parameter look-up.
class ITemperatureSource
{
public:
    virtual ~ITemperatureSource() = default;
    virtual double GetTemperature() const = 0;
};

// A window a transceiver keeps open beside the program. It is ended with 4
// and deleted when the transceiver goes, unless it closed itself first and
// let go of it (CTransceiver::ReleaseModelessDialog).
class IModelessDialog
{
public:
    virtual ~IModelessDialog() = default;
    virtual void EndDialog(int result) = 0;
};

// Threads: the records are read and written by the trigger thread (each
// ping's refresh and copy), read by the ping-data thread, and changed by the
// settings dialogs on the user-interface thread while the sounder pings; the
// values any of them change are taken and given under the records' lock.
class CTransceiver
{
public:
    enum TransceiverMode : int { kActive = 0, kPassive = 1, kTest = 2 };

    struct StructChannelParameters
    {
        CChannel* channel = nullptr;
        int channelNumber = 0;
        TransceiverChannelRecord capability;
        double pulseLengthTable[5] = {};
        double powerSteps[10] = {};
        double maxPower = 0.0;
        std::string description;
        double frequency = 0.0;
        double gainTable[5] = {};
        double gain = 0.0;
        double twoWayBeamAngle = 0.0;
        double bandwidth = 0.0;
        double angleSensitivityAlongship = 0.0, angleSensitivityAthwartship = 0.0;
        double beamWidthAlongship = 0.0, beamWidthAthwartship = 0.0;
        double angleOffsetAlongship = 0.0, angleOffsetAthwartship = 0.0;
        double further1 = 0.0;
        int further2 = 0;
        int sampleIntervalCount = 0;  // ticks of a 2 MHz clock
        int beamType = 0;
        std::string channelName;
        int transceiverMode = kActive;
        HKEY key = nullptr;
        double fixedDraft = 0.0, variableDraft = 0.0;
        double pulseLength = 0.0;
        double txPower = 0.0;
        double absorption = 0.0;
        double transducerZMinusDepth = 0.0;
        double transducerDepth = 0.0, transducerZ = 0.0, transducerX = 0.0, transducerY = 0.0;
        double transducerRoll = 0.0, transducerPitch = 0.0, transducerAzimuth = 0.0;
        double sampleDistance = 0.0;
        double sampleInterval = 0.0;
        double gain2 = 0.0;
        std::string transducerLabel;
        int fmPulse = 0;
        double fmPulseLength = 0.0, fmResolutionLength = 0.0, resolutionLength = 0.0, cwResolutionLength = 0.0;
        int filterType = 0;
        int doubleSampleRate = 0;
        // The transducer's share of the unit's output (SensitivityFactor).
        double sensitivityFactor = 0.0;
        // The unit is to get a new transmit set-up at its next Start.
        bool changed = false;
        // A replayed channel's remark, which its settings dialog hands back.
        std::string remark;
    };

    CTransceiver();
    // channelLinks: what the channels it makes need of the program around
    // them (not owned; it outlives the transceiver). Null: each channel runs
    // on its own.
    explicit CTransceiver(IChannelLinks* channelLinks);
    // A unit of the program: its channels' links, the model and pinger mode
    // come from the program's services (not owned; they outlive the unit).
    explicit CTransceiver(ITransceiverServices& services);
    virtual ~CTransceiver();
    CTransceiver(const CTransceiver&) = delete;
    CTransceiver& operator=(const CTransceiver&) = delete;

    // Driven by the trigger thread.
    virtual void Start(std::int64_t& duration) { duration = 0; }
    virtual void PrepareTrigger(int& useSharedTrigger, int* triggerValue) { useSharedTrigger = 0; }
    virtual void SetUp(int) {}
    virtual int Trigger(int kind) { return 0; }
    virtual bool IsReady() { return true; }
    virtual int GetBufferedPings() { return m_pingConsumed.load() ? 0 : 2; }
    virtual void SetPingRequest(int flag) {}
    virtual int SetPingMode(int mode) { return mode; }
    virtual bool HasPingData() { return true; }

    // Driven by the ping-data thread.
    virtual void ProcessPing(std::uint64_t pingTime) {}
    virtual int GetChannelDepths(double* depths, int trackerState) { return 0; }

    // The settings dialogs of a channel, on the user-interface thread. Each
    // runs its dialog modally on a copy of the channel's values and hands
    // back what OK confirmed under the records' lock. RunChannelDialog and
    // RunGeoChannelDialog answer 1 (shown, or no record for the channel), 0
    // when the dialog could not be shown; RunAdvancedDialog the same. -1:
    // the transceiver was destroyed while its dialog ran, and nothing of it
    // may be touched any more.
    virtual int RunChannelDialog(CChannel* channel);
    virtual int RunGeoChannelDialog(CChannel* channel);
    virtual int RunAdvancedDialog(CChannel* channel);
    // Whether the channel dialog can be shown for the channel: there is a
    // record for it and someone to show it to.
    virtual bool HasChannelDialog(const CChannel* channel) const;

    // Values that replay takes from the recorded file and its replay file
    // list; a live unit has none.
    virtual std::string GetRecordedText1() { return {}; }  // the path of the file replayed
    virtual std::string GetRecordedText2() { return {}; }  // the file name its recording gave it
    virtual std::string GetRecordedText3() { return {}; }  // the survey line text it was recorded under
    virtual int GetRecordedInteger1() { return 0; }        // "Change Installation" of the replay options
    virtual int GetRecordedInteger2() { return 0; }        // the list's fourth option word, 0 as built
    virtual int GetRecordedInteger3() { return 0; }        // "Save Data": the recorder stores replayed pings
    virtual double GetRecordedDouble1() { return -1.0; }   // the list's first spare double
    virtual double GetRecordedDouble2() { return -1.0; }   // its second spare double
    virtual double GetRecordedDouble3() { return -1.0; }   // its third spare double
    virtual double GetRecordedDouble4() { return -1.0; }   // its fourth spare double
    virtual int GetRecordedInteger4() { return 0; }        // the list's first further word
    virtual int GetRecordedInteger5() { return 0; }        // its second further word
    virtual int GetRecordedInteger6() { return 0; }        // its third further word
    virtual int GetRecordedInteger7() { return 0; }        // the list's first spare word
    virtual int GetRecordedInteger8() { return 0; }        // its second spare word
    virtual int GetRecordedInteger9() { return 0; }        // its third spare word
    virtual int GetRecordedInteger10() { return 0; }       // its fourth spare word

    virtual void Idle() {}
    virtual void SaveChannelSettings();
    virtual int LoadChannelSettings();
    virtual void ReadChannelSettings(StructChannelParameters& record);
    virtual int RequestStatus() { return 1; }
    virtual void EnterTestMode() {}
    virtual TransceiverType GetTypeCode() { return TransceiverType::HXU; }
    // Opens the unit's diagnostic window, or brings it to the front; parent
    // is the window told (its empty message) when it has gone.
    virtual void ShowDiagnostics(int parent) {}
    // The depth row's message 0: the diagnostic window it opened has gone,
    // and the unit forgets it.
    virtual void ClearPendingFlag() {}
    virtual int ConfigureInterface(int) { return 0; }
    virtual int SendCommand(const void* command) { return 0; }
    // The diagnostic window's test selection; types without one ignore it.
    virtual int SendTestCommand(int mode) { return 0; }
    virtual int SupportsTestMode() { return 0; }
    // Menu commands of the type's own (its debug dialogs); false for any
    // other command, which goes on to the next transceiver.
    virtual bool OnCommand(unsigned id) { return false; }
    // The menu state of such a command; false for any other command.
    virtual bool OnUpdateCommand(app::CCmdUI& ui) { return false; }

    void SetEchoSounder(ITransceiverOwner* owner) { m_echoSounder = owner; }
    ITransceiverOwner* GetEchoSounder() const { return m_echoSounder; }
    int GetChannelCount() const { return static_cast<int>(m_channels.size()); }
    // The channel object at an index, null outside the channels (not its id).
    CChannel* GetChannelId(int index) const;
    StructChannelParameters* FindRecord(const CChannel* channel) const;
    std::string GetChannelName(const CChannel* channel) const;
    int GetChannelParameters(const CChannel* channel, std::string& description, std::string& channelName,
                             double& frequency, double& gain, double& twoWayBeamAngle, double& bandwidth,
                             double& beamWidthAlongship, double& beamWidthAthwartship,
                             double& angleSensitivityAlongship, double& angleSensitivityAthwartship,
                             double& angleOffsetAlongship, double& angleOffsetAthwartship, int& beamType,
                             double& soundVelocity, double& temperature) const;
    int GetChannelValues(const CChannel* channel, double& pulseLength, double& txPower, double& gain,
                         double& transducerDepth) const;
    // The largest entry of a channel's power table (its maximum power while
    // the table is empty), W; 0 for a channel it does not have.
    double GetMaxPower(const CChannel* channel) const;
    void SetChannelParameters(const CChannel* channel, const ChannelParameters& parameters);
    // Asks the unit for a new transmit set-up of every channel at its next
    // Start (a new sounder, a paired channel's new parameters).
    void MarkChannelsChanged();
    void SetAllChannelsPassive();
    // The transceiver mode of the channel's record, and of the channel with
    // its next ping.
    void SetChannelMode(CChannel* channel, int mode);
    void SetChannelPassive(int index);
    double GetMaxChannelValue() const;
    static int FindTableIndex(double value, const double* table, int count);
    // The sample interval of the record's pulse length: the capability's
    // interval at the nearest entry of the pulse-length table (the first
    // entry's distance counted as at most 1000, ties to the earlier entry).
    static double SelectSampleInterval(const StructChannelParameters& record);
    // (2a / (a + b))^2 x b: the part of the unit's output a load of a ohms
    // takes against the reference b.
    static double SensitivityFactor(double a, double b);
    void RequestNextPing();
    void RequestPosition(int position);
    // The window the transceiver keeps open beside the program; a new one
    // ends the one before.
    void SetModelessDialog(std::unique_ptr<IModelessDialog> dialog);
    IModelessDialog* GetModelessDialog() const { return m_modeless.get(); }
    // The window closes itself and deletes itself: forgotten, not deleted.
    void ReleaseModelessDialog();
    bool TakeRequestedPosition(int& position);
    void ClearPingConsumed() { m_pingConsumed = 0; }
    int GetPingConsumed() const { return m_pingConsumed.load(); }

    // The transceiver's registry key (below which each channel has its own)
    // and the settings folder of the current profile, where "<name>_T.sav"
    // files live. The key is not owned by the base until SetRegistryKey.
    void SetRegistryKey(HKEY key) { m_key = key; }
    HKEY GetRegistryKey() const { return m_key; }
    void SetSettingsFolder(const std::string& folder) { m_settingsFolder = folder; }
    static std::string SettingsFileName(const std::string& folder, const std::string& channelName);

    void SetTemperatureSource(const ITemperatureSource* source) { m_temperature = source; }
    double GetSoundVelocity() const { return m_soundVelocity; }
    void SetSoundVelocity(double v) { m_soundVelocity = v; }

protected:
    // A unit of the program (services set; its channels' links are theirs)
    // or a transceiver with its channels' links alone (services null).
    CTransceiver(ITransceiverServices* services, IChannelLinks* channelLinks);

    // Given to every channel the type makes.
    IChannelLinks* ChannelLinks() const { return m_channelLinks; }
    // The program's services of a unit; null for a transceiver that is not
    // one (replay, tests).
    ITransceiverServices* Services() const { return m_services; }
    // The trawl data of this ping as a channel's input header: depth state,
    // depth, opening state, opening; zeros without trawl data.
    void GetTrawlHeader(std::uint32_t words[8]) const;
    // The dialogs of the program that runs the unit; none without one. A
    // transceiver that is no unit of the program (replay) gets them where it
    // gets the rest of what it needs.
    virtual ITransceiverDialogs* Dialogs() const;
    // Where the channel dialog that runs is kept, so that it is ended with -1
    // when the transceiver goes.
    CModalSession*& ChannelDialogSlot() { return m_channelDialog; }

    // What a unit type does with each of its channels when it is made: a
    // record from the installation's record of the channel (its number and
    // description, the tables, beam values and ten power steps of the
    // installation, the absorption given), with its registry key below the
    // unit's key, the settings stored there (the first pulse length and
    // full power where none are), the gain of its pulse length, and its
    // sample interval and distance at the unit's sound velocity.
    std::unique_ptr<StructChannelParameters> MakeChannelRecord(const TransceiverChannelRecord& capability,
                                                               int channelNumber, const std::string& description,
                                                               double absorption, HKEY unitKey);
    // "<kHz> kHz", the installation's nominal frequency where it has one.
    static std::string KiloHertzName(const TransceiverChannelRecord& capability);
    // The channel of a record, with the standard parts (bottom detector,
    // noise estimate and slope tracker) and the record's values.
    std::unique_ptr<CChannel> MakeChannel(const StructChannelParameters& record, int channelId);

    // The environment's sound velocity, kept as the unit's when it is a
    // good one; the last good one stays otherwise (a sample distance of 0
    // would stall the channels).
    void TakeSoundVelocity();
    // The environment's absorption at a frequency; none when it has no good
    // one.
    std::optional<double> EnvironmentAbsorption(double frequency) const;
    // A ping's absorption to the stored record, and its absorption, sample
    // distance and interval to the channel when any changed, so that the
    // channel rebuilds its tables only then.
    void HandPingValues(StructChannelParameters& stored, const StructChannelParameters& ping, CChannel& channel);
    // A copy of a record for the ping being started, and whether the unit is
    // to get a new transmit set-up with it; takeMark clears that mark (a
    // unit that cannot send the set-up yet leaves it).
    bool CopyRecordForPing(StructChannelParameters& record, StructChannelParameters& copy, bool takeMark);
    // Held while a record's values are read or changed outside the
    // user-interface thread's dialogs.
    std::unique_lock<std::mutex> LockRecords() const { return std::unique_lock<std::mutex>(m_recordLock); }
    // The acoustic values of the advanced dialog, from a copy of a record.
    AdvancedTransceiverDialogValues AdvancedValues(const StructChannelParameters& record) const;

    std::vector<StructChannelParameters*> m_channels;  // records are owned by the type
    // Set where the type ranges its pings (a trigger or replay thread), read
    // with the channel parameters on the ping-data and user-interface threads.
    std::atomic<double> m_soundVelocity{1500.0};

private:
    void ApplyPingerPulseLength(StructChannelParameters& record) const;
    StructChannelParameters CopyRecord(const StructChannelParameters& record) const;
    // Writes the named values of the record under the channel's key.
    static void WriteChannelValues(const StructChannelParameters& record, bool transmitValues, std::size_t userValues);
    void ChannelValuesChanged();

    ITransceiverServices* const m_services = nullptr;
    IChannelLinks* const m_channelLinks = nullptr;

    // Set by the owner after the type has started its threads.
    std::atomic<ITransceiverOwner*> m_echoSounder{nullptr};
    HKEY m_key = nullptr;
    std::string m_settingsFolder;
    std::atomic<int> m_requestedPosition{0};
    std::atomic<bool> m_positionPending{false};
    const ITemperatureSource* m_temperature = nullptr;
    std::atomic<int> m_pingConsumed{1};
    mutable std::mutex m_recordLock;
    // The open channel and advanced dialogs (user-interface thread), ended
    // with -1 when the transceiver goes.
    CModalSession* m_channelDialog = nullptr;
    CModalSession* m_advancedDialog = nullptr;
    std::unique_ptr<IModelessDialog> m_modeless;
};
