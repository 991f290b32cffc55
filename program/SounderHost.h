// What the running sounder gets from the program: its transceivers (the
// network units, or replay), its documents and recorder, the objects that
// take part in every ping, and the shell's services.
#pragma once

#include "platform/WinTypes.h"
#include "program/ProgramReplayHost.h"
#include "program/ProgramTransceiverServices.h"
#include "program/RawDataLink.h"
#include "recording/StoreDialogValues.h"
#include "sounder/EchoSounderHost.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverTypeTable.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace app {

class CProgram;

class CSounderHost final : public IEchoSounderHost
{
public:
    explicit CSounderHost(CProgram& program);
    ~CSounderHost() override;
    CSounderHost(const CSounderHost&) = delete;
    CSounderHost& operator=(const CSounderHost&) = delete;

    // Once the main frame exists: the search dialog of the network units
    // runs on this thread, and "Store..." requests of a replay reach it.
    void Init();
    // The transceiver types the sounder may make, and what every unit it
    // makes gets of the program.
    CTransceiverTypeTable& TransceiverTypes() { return m_transceiverTypes; }
    CProgramTransceiverServices& TransceiverServices() { return m_transceiverServices; }
    // Where each recorder made sends its raw data.
    CRawDataLink& RawData() { return m_rawData; }
    // "Store...": the recorder's settings dialog on the running sounder.
    void OnStore();
    // "Echogram Storage Parameters": the recorder's echogram storage dialog.
    void OnEchogramStorage();

    std::unique_ptr<CTransceiver> CreateTransceiver(TransceiverType type, int index,
                                                    const InstalledTransceiverInfo& info, HKEY key) override;
    std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList* files, HKEY key) override;
    std::unique_ptr<IPingDocuments> CreateDocuments() override;
    std::unique_ptr<IPingRecorder> CreateRecorder(CEchoSounder& sounder, HKEY key,
                                                  const std::string& sequenceFile) override;
    std::unique_ptr<ISurveyControl> CreateSurveyControl(CEchoSounder& sounder) override;
    void AddPingToHistory(std::uint64_t pingTime) override;
    void SendPingToOutputs(CEchoSounder& sounder) override;
    bool GetPingerInterval(double& seconds) override;
    bool GetPingerScaledInterval(double& seconds) override;
    void StopPinger() override;
    double GetMeanSoundVelocity(double depth) override;
    double ReadWorkload() override;
    void SampleWorkload() override;
    void StatusMessage(unsigned stringId) override;
    void Warning(const std::string& text) override;
    void LinkLost() override;
    void RequestReplayStore() override;
    // The computer's clock to now plus the telegram's time less its
    // reception time, the line's latency added (the telegram's time is
    // that much older than its reception); navigation's forced update ends
    // and the heave sensor forgets the motion it had.
    void SetClockFromTelegram(std::uint64_t received, std::uint64_t telegram) override;

private:
    CProgram& m_program;
    std::array<zv::recording::SStoreDialogValues::SSlot, 4> ChannelSlots();
    // Outlive every transceiver that uses them: operation control deletes
    // the sounder before the program lets these go.
    CTransceiverTypeTable m_transceiverTypes;
    CProgramTransceiverServices m_transceiverServices;
    CProgramReplayHost m_replayHost;
    HWND m_storeRequests = 0;
    CRawDataLink m_rawData;
    // What each unit records as the water temperature of its pings: the
    // sensor's valid temperature, 0.0 without one.
    class CWaterTemperatureSource final : public ITemperatureSource
    {
    public:
        explicit CWaterTemperatureSource(CProgram& program) : m_program(program) {}
        double GetTemperature() const override;

    private:
        CProgram& m_program;
    } m_temperatureSource{m_program};
};

}  // namespace app
