// Puts the telegram decoder, the geographic history, the external depth
// sources and the network output into the running program: their rows of the
// application's creation table, the decoder's links to the application's
// services, the formatter's sources, and the sounder's per-ping calls.
//
// The program builds one before InitInstance and keeps it until the
// application object is gone.
#pragma once

#include "outputs/QYNet.h"
#include "app/base/CommandTarget.h"
#include "sensors/Annotation.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sensors/NmeaDecoder.h"

#include "engine/EchoSounder.h"

#include <functional>
#include <memory>
#include <mutex>

namespace app {
class CPelmaris;
}

// The running sounder as the network output reads it.
class CEchoSounderPingSource : public IQYNetPingSource
{
public:
    CEchoSounderPingSource(CEchoSounder& sounder, std::function<double()> environmentSoundVelocity)
        : m_sounder(sounder), m_soundVelocity(std::move(environmentSoundVelocity)) {}
    int GetChannelCount() override;
    bool GetChannelPing(int index, SQYNetChannelPing& out) override;
    bool GetSamples(int index, std::int16_t* out, int n, double length, double start, int tvg,
                    int reference) override;
    int GetSingleTargets(int index, std::vector<std::array<float, 5>>& out) override;
    double GetEnvironmentSoundVelocity() override;
    bool GetWaterTemperature(double& celsius) override;

private:
    CEchoSounder& m_sounder;
    std::function<double()> m_soundVelocity;
};

class CNavNetLink
{
public:
    explicit CNavNetLink(app::CPelmaris& application);
    ~CNavNetLink();
    CNavNetLink(const CNavNetLink&) = delete;
    CNavNetLink& operator=(const CNavNetLink&) = delete;

    // The one link of the process (null when none).
    static CNavNetLink* Instance();

    CNmeaDecoder& Decoder() { return m_decoder; }
    CAnnotation* Annotation() { return m_annotation.get(); }
    CExternalDepth& ExternalDepth() { return m_externalDepth; }
    // The sounder's environment sound velocity; set by whoever owns the
    // environment.
    std::function<double()> environmentSoundVelocity;
    // The running sounder's recorder, as the program reaches it: whether
    // there is one, and storing a sentence in its open files. Set by whoever
    // owns the recorder; empty: sentences are not recorded. Any thread.
    std::function<bool()> hasRecorder;
    std::function<void(const std::string& sentence, std::uint64_t received)> storeSentence;

    // The calls of the ping road that belong here.
    void FillEchoSounderHooks(CEchoSounder::Hooks& hooks);
    // A telegram of the given road (serial 1,0,1; network 2,1,2; replay 3,3,3).
    void ParseNmeaTelegram(const std::string& text, std::uint64_t received, SNmeaSource source);

private:
    void LinkDecoder();

    app::CPelmaris& m_app;
    // The event command (32866) of the annotations.
    struct Commands : app::ICommandTarget {
        explicit Commands(CNavNetLink& l) : link(l) {}
        bool OnCommand(unsigned id) override;
        CNavNetLink& link;
    };

    std::once_flag m_linked;
    std::unique_ptr<CAnnotation> m_annotation;
    Commands m_commands{*this};
    CNmeaDecoder m_decoder;
    CExternalDepth m_externalDepth;
    std::shared_ptr<CGeographicInfo> m_geographic;
    std::size_t m_sinkIndex = 0;
};
