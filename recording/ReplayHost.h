// What replay needs of the engine, the environment and the sensor side, as
// narrow calls the program wires to the running objects. Each has a harmless
// default, so a replay runs (and is tested) with only what it is given.
#pragma once

#include "recording/DatagramFormat.h"

#include <functional>
#include <string>

class CReplayFileList;
class ITransceiverDialogs;

namespace zv::recording {

// The offsets with which heave is recomputed ("Reprocess Heave").
struct SReplayInstallation
{
    static constexpr int kChannels = 8;
    double motionX = 0.0, motionY = 0.0, motionZ = 0.0;
    int channelCount = 0;
    struct SChannel
    {
        double draught = 0.0, x = 0.0, y = 0.0, z = 0.0;
        std::string name;
    } channels[kChannels];
};

class IReplayHost
{
public:
    virtual ~IReplayHost() = default;
    // Told of every replayed ping with the ping's own recorded time, after
    // the owning sounder was stamped with it and its ping-ready semaphore
    // released (once a ping, once every sample is with the channels).
    virtual void PingReady(FileTime pingTime) {}
    // The application's tide value (m).
    virtual void SetTide(double metres) {}
    // The recorded water temperature, for the temperature sensor object.
    virtual void SetReplayTemperature(double celsius) {}
    // The environment: its replay change flag and sound velocity, and the
    // query with which each ping ends (sound velocity, profile stamp cleared).
    virtual bool EnvironmentUpdateFlag() { return false; }
    virtual double EnvironmentSoundVelocity() { return 1500.0; }
    virtual void AfterPing() {}
    // A recorded real-time profile: to the outputs, and, unless the operator
    // chose a profile of his own, applied as the environment's profile and
    // written as an .asvp file into the replayed file's folder.
    virtual void SendProfileToOutputs(const std::string& text, FileTime time) {}
    virtual void ApplyReplayProfile(const std::string& text, FileTime time, const std::string& folder) {}
    // A recorded sentence for the telegram decoder (source codes 3, 3, 3).
    virtual void ParseNmea(const std::string& text, FileTime time) {}
    virtual void AddAnnotation(const std::string& text, FileTime time) {}
    // Start replay again from the list, through operation control.
    virtual void RestartReplay(const CReplayFileList& list) {}
    virtual void ResetGeographicHistory() {}
    // The replay bar: start and end time and file name, and the table of
    // 200 times behind its slider.
    virtual void UpdateReplayButtons(FileTime start, FileTime end, const std::string& fileName) {}
    virtual void CopyReplayTable(const FileTime* times200) {}
    // When the message pane is on and a view prints: stop and restart printing.
    virtual void RestartPrinting() {}
    // The "Reprocess Heave" dialog on a copy of the block, on the thread
    // that made the replay; false for Cancel. ended() holds once the replay
    // no longer waits for the answer (its sounder stops): the dialog may
    // close then.
    virtual bool RunInstallationDialog(SReplayInstallation& block, int& applyHeave, int& reprocess, int& applyAll,
                                       const std::function<bool()>& ended)
    {
        return false;
    }
    // The settings dialogs of the replayed channels, on the user-interface
    // thread; null: there is no one to show them to, and no channel dialog
    // is offered.
    virtual ITransceiverDialogs* TransceiverDialogs() { return nullptr; }
};

}  // namespace zv::recording
