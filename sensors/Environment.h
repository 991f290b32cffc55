// The one model of the water that the program asks for sound velocity and
// absorption: the user's environment settings, the current sound velocity by
// its type, travel time to depth through the applied profile, absorption by
// frequency, and the application of profile files and newly delivered
// profiles.
//
// Threads: the sound velocity, absorption and depth queries come from the
// ping-data thread, the transceivers' threads and the user-interface thread;
// settings, profile application and the dialog run on the user-interface
// thread only. The applied profile is published as a whole and immutable, so
// a ping thread that holds one keeps it alive however often it is replaced.
#pragma once

#include "base/AppIds.h"
#include "platform/WinTypes.h"
#include "sensors/SvpProfile.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// An applied profile: depths strictly increasing from the surface, one
// velocity per depth; never changed once published.
struct SAppliedProfile
{
    std::vector<double> depth;     // m
    std::vector<double> velocity;  // m/s
    std::size_t Count() const { return depth.size(); }
};

// The values the environment dialog edits; filled by the environment and read
// back on OK.
struct SEnvironmentDialogValues
{
    double constantVelocity = 1500.0;
    DWORD waterType = 1;
    double salinity = 35.0;
    DWORD temperatureType = 0;
    double temperatureConstant = 10.0;
    double temperatureSensor = 10.0;
    DWORD svpType = 0;
    std::string fileName;
    std::string folder;
    std::string extension;
    DWORD format = 4;
    BOOL updateFlag = FALSE;
    BOOL sensorAvailable = TRUE;
    std::string probeVelocityText;
    std::string computedVelocityText;
};

class CEnvironment
{
public:
    // Sound velocity types (dwSvpType).
    static constexpr DWORD SvpTypeConstant = 0;
    static constexpr DWORD SvpTypeComputed = 1;
    static constexpr DWORD SvpTypeProbe = 2;
    static constexpr DWORD SvpTypeProfile = 3;

    static constexpr UINT IdsNoTemperatureSensor = 57679;

    // After this many invalid sensor readings in a row the computed velocity
    // falls back to the constant temperature.
    static constexpr int MaxInvalidSensorReadings = 40;

    // The persisted settings, in the order they are stored.
    struct Settings
    {
        DWORD svpType = SvpTypeConstant;
        double svpConstant = 1500.0;
        double svpComputed = 1500.0;
        double svpConstFromFile = 1500.0;  // mean of the applied profile
        double svpReal = 1500.0;           // last probe velocity
        DWORD waterType = 1;               // 1 salt, 0 fresh
        double salinity = 35.0;            // per mille
        DWORD temperatureType = 0;         // 0 constant, 1 sensor
        double tempConstant = 10.0;
        double tempSensor = 10.0;
        double ph = 8.0;
        double depth = 250.0;  // depth used for absorption, m
        std::string svpFileName = "1500.asvp";
        DWORD svpFormat = CSvpProfile::FormatAsvp;
        std::string svpFileExt = "asvp";
        std::string svpFilePath;  // the model's profile folder when empty
    };

    CEnvironment();
    ~CEnvironment();
    CEnvironment(const CEnvironment&) = delete;
    CEnvironment& operator=(const CEnvironment&) = delete;

    // ---- queries from any thread ----
    double GetSoundVelocity();
    // Absorption coefficient in dB/m for a frequency in Hz.
    double GetAbsorption(double frequencyHz);
    // Depth reached by a one-way travel time (s) below a start depth (m)
    // through the applied profile; 0.0 without one.
    double GetDepthFromTravelTime(double travelTime, double startDepth) const;
    // Depth-weighted mean velocity of the applied profile between two depths;
    // the current sound velocity without a profile.
    double GetMeanSoundVelocity(double fromDepth, double toDepth);
    BOOL IsRealSvp() const;
    std::shared_ptr<const SAppliedProfile> GetAppliedProfile() const;

    // ---- replay, probe, temperature sensor ----
    BOOL SetSvpType(DWORD type);
    void ClearProfileDepth();
    BOOL GetUpdateFlag() const;
    void SetUpdateFlag(BOOL flag);
    void SetProbeVelocity(double velocity);
    double GetProbeVelocity() const;
    void SetSensorTemperature(double temperature, BOOL valid);

    // ---- settings and profiles, user-interface thread ----
    void LoadUserSettings();
    void SetDefaults();
    // Message 0x47B.
    void ApplyNewProfile();
    // Menu command 32845 and its update handler.
    void OnEnvironment();
    BOOL IsEnvironmentCommandEnabled(BOOL replaying) const;
    Settings GetSettings() const;

    // Written by whoever delivers a new profile file before it posts 0x47B.
    // Without a pending format an automatically applied file is read by its
    // extension; the dialog path always goes by the extension.
    void SetPendingProfile(BOOL autoApply, const std::string& folder, const std::string& fileName);
    void SetPendingFormat(DWORD format);
    // Writes the pending profile and posts 0x47B to the main frame, which
    // then calls ApplyNewProfile on its own thread. FALSE when there is no
    // main frame to tell. Any thread.
    BOOL AnnounceNewProfile(BOOL autoApply, const std::string& folder, const std::string& fileName);

    // ---- wiring by the application, before any sounder runs ----
    // Deepest current channel depth of the running sounder (0.0 when none).
    // It is asked inside GetSoundVelocity, which channels call with their own
    // lock held: the source must take no channel lock (it reads the depths
    // the channels publish atomically), or two channels can deadlock.
    void SetChannelDepthSource(std::function<double()> source);
    // Where profile texts go: to the recorder and outputs, and to the
    // recorder alone ("Constant"); both take the text and a file time.
    void SetProfileSinks(std::function<void(const std::string&, ULONGLONG)> sendToOutputs,
                         std::function<void(const std::string&, ULONGLONG)> recordText);
    // Logging has started: with the profile type, the applied profile goes
    // to the outputs and the recorder; with any other, "Constant" is
    // recorded. User-interface thread.
    void RecordCurrentProfile();
    // Runs the environment dialog; answers TRUE on OK.
    void SetDialogRunner(std::function<BOOL(SEnvironmentDialogValues&)> runner);
    // Whether a dialog runner is set; "Environment..." is greyed without.
    bool HasDialog() const { return static_cast<bool>(m_dialog); }
    // The application's model, for the default profile folder.
    void SetModelCode(SounderModel model);

    // The computed velocity formula (no depth term).
    static double ComputeVelocity(double temperature, double salinity);
    // Depth-weighted mean of a profile from the surface down to a depth.
    static double ProfileMean(const SAppliedProfile& profile, double depth, double fallback);

private:
    void ApplyPendingProfile();
    double ComputedVelocityLocked() const;
    void RecomputeLocked();
    bool SensorValidLocked() const;
    BOOL ApplyProfileFile();
    void SendProfileToOutputs(const std::string& text);
    void RecordConstant();
    void TakeDialogValues(const SEnvironmentDialogValues& values);
    SEnvironmentDialogValues MakeDialogValues() const;
    BOOL RunDialog(SEnvironmentDialogValues& values);
    void FinishDialog();
    void ReadSettings();
    void WriteSettings();
    std::string DefaultFolder() const;

    mutable std::mutex m_lock;
    Settings m_settings;

    // type-1 velocity held with hysteresis
    double m_heldVelocity = 0.0;
    double m_heldTemperature = 0.0;
    double m_heldSalinity = 0.0;
    BOOL m_bForce = TRUE;
    // sensor readings
    BOOL m_bSensorValid = FALSE;
    int m_invalidCount = 0;
    double m_absorptionTemperature = 0.0;

    // the profile read from the current file (user-interface thread only)
    CSvpProfile m_profile;
    // where the applied profile came from, to return to when a new file fails
    bool m_bHaveAppliedFile = false;
    std::string m_appliedFolder;
    std::string m_appliedFileName;
    std::string m_appliedExt;
    DWORD m_appliedFormat = CSvpProfile::FormatAsvp;
    // The published profile; its own lock is held only to copy or swap the
    // pointer, so a reader never waits on anything but that.
    mutable std::mutex m_appliedLock;
    std::shared_ptr<const SAppliedProfile> m_applied;
    double m_meanDepth = -1.0;       // depth down to which the mean was taken
    double m_lastQueryDepth = -1.0;  // depth asked for by the last query

    BOOL m_bUpdateFlag = FALSE;

    // pending new profile
    BOOL m_pendingAutoApply = FALSE;
    std::string m_pendingFolder;
    std::string m_pendingFileName;
    static constexpr DWORD NoPendingFormat = 0xFFFFFFFF;
    DWORD m_pendingFormat = NoPendingFormat;
    // User-interface thread only: ApplyNewProfile is running (its question,
    // dialog or error box is open), and another profile came meanwhile.
    bool m_applyingNewProfile = false;
    bool m_newProfileWhileApplying = false;

    SounderModel m_modelCode = SounderModel::QY210;
    std::function<double()> m_depthSource;
    std::function<void(const std::string&, ULONGLONG)> m_sendToOutputs;
    std::function<void(const std::string&, ULONGLONG)> m_recordText;
    std::function<BOOL(SEnvironmentDialogValues&)> m_dialog;
};
