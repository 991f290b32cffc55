// What the running sounder needs of the program around it. The parts it owns
// (transceivers, replay, documents, recorder) belong to subsystems that build
// on the engine, so the program makes them; the per-ping participants and the
// shell's services are reached through the same link.
//
// The program implements it in its composition root; CNoEchoSounderHost is
// the link of a sounder that runs alone (tests, tools), and the base that
// test hosts override in part.
#pragma once

#include "base/ModelCodes.h"
#include "platform/Registry.h"

#include <cstdint>
#include <memory>
#include <string>

class CEchoSounder;
class CTransceiver;
class CReplayFileList;
class IPingDocuments;
class IPingRecorder;
class ISurveyControl;
struct InstalledTransceiverInfo;

class IEchoSounderHost
{
public:
    virtual ~IEchoSounderHost() = default;

    // The live transceiver of an installed unit; null for a type this program
    // cannot run, which refuses the start.
    virtual std::unique_ptr<CTransceiver> CreateTransceiver(TransceiverType type, int index,
                                                            const InstalledTransceiverInfo& info, HKEY key) = 0;
    // The replay transceiver of a file list (null list: none given); null
    // when its files cannot be played.
    virtual std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList* files, HKEY key) = 0;
    // The documents that take every ping; null: the pings reach none.
    virtual std::unique_ptr<IPingDocuments> CreateDocuments() = 0;
    // The recorder, made once the sounder has channels and before the workers
    // start; null: nothing is recorded.
    virtual std::unique_ptr<IPingRecorder> CreateRecorder(CEchoSounder& sounder, HKEY key,
                                                          const std::string& sequenceFile) = 0;
    // The exchange with the survey control program, made once the sounder
    // has channels and deleted after its workers end; null: none.
    virtual std::unique_ptr<ISurveyControl> CreateSurveyControl(CEchoSounder& sounder) = 0;

    // Per-ping participants, on the ping-data thread. The ping goes into the
    // geographic history before the transceivers process it, and to the
    // outputs (post-processing, network, remote display, serial, in this
    // order) after the channels have processed it.
    virtual void AddPingToHistory(std::uint64_t pingTime) = 0;
    virtual void SendPingToOutputs(CEchoSounder& sounder) = 0;
    // The pinger's ping interval in seconds; false: the interval stays.
    virtual bool GetPingerInterval(double& seconds) = 0;
    // How long a unit samples a ping while pinger mode sets the interval
    // (s); false: pinger mode does not.
    virtual bool GetPingerScaledInterval(double& seconds) = 0;
    // Pinger mode was left: the pinger stops tracking, so that no channel
    // goes on ranging from it.
    virtual void StopPinger() = 0;
    // The water's mean sound velocity (m/s) from the surface to a depth
    // (m), which times multipulse's pings.
    virtual double GetMeanSoundVelocity(double depth) = 0;

    // The shell's services. The program's CPU load (0..1) and a request to
    // sample it again (trigger thread).
    virtual double ReadWorkload() = 0;
    virtual void SampleWorkload() = 0;
    // A passing event for the status bar, by its string id, and a warning
    // the operator must acknowledge (any thread).
    virtual void StatusMessage(unsigned stringId) = 0;
    virtual void Warning(const std::string& text) = 0;
    // A transceiver lost its link; once per loss, from the trigger thread.
    virtual void LinkLost() = 0;
    // A replay started to save data asks for the recorder's "Store..." once,
    // from the ping-data thread.
    virtual void RequestReplayStore() = 0;
    // A clock telegram asked for the computer's clock (its reception time
    // and the time it carries, file times); on the ping-data thread, once
    // per request.
    virtual void SetClockFromTelegram(std::uint64_t received, std::uint64_t telegram) = 0;
};

// A sounder with nothing around it: no parts, no participants, a load that
// never changes.
class CNoEchoSounderHost : public IEchoSounderHost
{
public:
    std::unique_ptr<CTransceiver> CreateTransceiver(TransceiverType, int, const InstalledTransceiverInfo&,
                                                    HKEY) override;
    std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList*, HKEY) override;
    std::unique_ptr<IPingDocuments> CreateDocuments() override;
    std::unique_ptr<IPingRecorder> CreateRecorder(CEchoSounder&, HKEY, const std::string&) override;
    std::unique_ptr<ISurveyControl> CreateSurveyControl(CEchoSounder&) override;
    void AddPingToHistory(std::uint64_t) override {}
    void SendPingToOutputs(CEchoSounder&) override {}
    bool GetPingerInterval(double&) override { return false; }
    bool GetPingerScaledInterval(double&) override { return false; }
    void StopPinger() override {}
    double GetMeanSoundVelocity(double) override { return 1500.0; }
    double ReadWorkload() override { return 0.6; }
    void SampleWorkload() override {}
    void StatusMessage(unsigned) override {}
    void Warning(const std::string&) override {}
    void LinkLost() override {}
    void RequestReplayStore() override {}
    void SetClockFromTelegram(std::uint64_t, std::uint64_t) override {}
};
