// A sounder host for tests: each part and participant is a plain function
// the test may set; what is left unset does nothing (as CNoEchoSounderHost).
// Documents and a recorder are made only when their functions are set.
#pragma once

#include "sounder/EchoSounder.h"

#include <functional>
#include <memory>
#include <string>

class CTestEchoSounderHost : public CNoEchoSounderHost
{
public:
    std::function<std::unique_ptr<CTransceiver>(TransceiverType type, int index, const InstalledTransceiverInfo&, HKEY)>
        createTransceiver;
    std::function<std::unique_ptr<CTransceiver>(const CReplayFileList*, HKEY)> createReplay;
    std::function<std::unique_ptr<IPingRecorder>(CEchoSounder&, HKEY, const std::string&)> createRecorder;
    std::function<std::unique_ptr<IPingDocuments>()> createDocuments;
    // A document list that calls this once a ping, unless createDocuments
    // is set.
    std::function<void()> documentsNotify;
    // A recorder made of these, when any is set and createRecorder is not.
    std::function<void()> storeWritePing;
    std::function<bool()> storeIsRecordingPing;
    std::function<bool()> storeIsRecordingXtf;
    std::function<void()> storeWriteXtfPing;
    std::function<void(std::uint64_t)> geographicAddPing;
    std::function<void()> lx750SendPing, networkOutputSendPing, remoteDisplaySendDepth, serialOutputSendPing;
    std::function<bool(double&)> pingerInterval;
    std::function<void()> stopPinger;
    std::function<double()> workloadRead;
    std::function<void()> workloadSample;
    std::function<void(unsigned)> statusMessage;
    std::function<void(const std::string&)> warning;
    std::function<void()> linkLost;
    std::function<void()> replayStore;
    std::function<void(std::uint64_t received, std::uint64_t telegram)> clockFromTelegram;

    std::unique_ptr<CTransceiver> CreateTransceiver(TransceiverType type, int index,
                                                    const InstalledTransceiverInfo& info, HKEY key) override
    {
        return createTransceiver ? createTransceiver(type, index, info, key) : nullptr;
    }
    std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList* files, HKEY key) override
    {
        return createReplay ? createReplay(files, key) : nullptr;
    }
    std::unique_ptr<IPingDocuments> CreateDocuments() override
    {
        if (createDocuments)
            return createDocuments();
        if (!documentsNotify)
            return nullptr;
        return std::make_unique<CDocuments>(*this);
    }
    std::unique_ptr<IPingRecorder> CreateRecorder(CEchoSounder& sounder, HKEY key,
                                                  const std::string& sequenceFile) override
    {
        if (createRecorder)
            return createRecorder(sounder, key, sequenceFile);
        if (!storeWritePing && !storeIsRecordingPing && !storeIsRecordingXtf && !storeWriteXtfPing)
            return nullptr;
        return std::make_unique<CRecorder>(*this);
    }
    void AddPingToHistory(std::uint64_t time) override { Call(geographicAddPing, time); }
    void SendPingToOutputs(CEchoSounder&) override
    {
        Call(lx750SendPing);
        Call(networkOutputSendPing);
        Call(remoteDisplaySendDepth);
        Call(serialOutputSendPing);
    }
    bool GetPingerInterval(double& seconds) override { return pingerInterval && pingerInterval(seconds); }
    void StopPinger() override { Call(stopPinger); }
    double ReadWorkload() override { return workloadRead ? workloadRead() : CNoEchoSounderHost::ReadWorkload(); }
    void SampleWorkload() override { Call(workloadSample); }
    void StatusMessage(unsigned id) override { Call(statusMessage, id); }
    void Warning(const std::string& text) override { Call(warning, text); }
    void LinkLost() override { Call(linkLost); }
    void RequestReplayStore() override { Call(replayStore); }
    void SetClockFromTelegram(std::uint64_t received, std::uint64_t telegram) override
    {
        Call(clockFromTelegram, received, telegram);
    }

private:
    template <class F, class... A>
    static void Call(const F& f, A&&... a)
    {
        if (f)
            f(std::forward<A>(a)...);
    }
    class CDocuments final : public IPingDocuments
    {
    public:
        explicit CDocuments(CTestEchoSounderHost& host) : m_host(host) {}
        int Notify(int) override
        {
            m_host.documentsNotify();
            return 0;
        }
        void SetHold(bool) override {}

    private:
        CTestEchoSounderHost& m_host;
    };
    class CRecorder final : public IPingRecorder
    {
    public:
        explicit CRecorder(CTestEchoSounderHost& host) : m_host(host) {}
        void WritePing() override { Call(m_host.storeWritePing); }
        bool IsRecordingPing() const override { return m_host.storeIsRecordingPing && m_host.storeIsRecordingPing(); }
        bool IsRecordingXtf() const override { return m_host.storeIsRecordingXtf && m_host.storeIsRecordingXtf(); }
        void WriteXtfPing() override { Call(m_host.storeWriteXtfPing); }
        bool OnCommand(unsigned) override { return false; }
        int GetMode() const override { return 0; }

    private:
        CTestEchoSounderHost& m_host;
    };
};
