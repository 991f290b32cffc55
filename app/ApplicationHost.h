// What the application object needs of the program around it: the subsystems
// that build on the shell take annotations and profiles, load their user
// settings last at start-up, switch the engine's extras and set the PC
// clock. The program implements it in its composition root; CShellHost
// stands for a program in which only the shell runs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace app {

class IApplicationHost
{
public:
    virtual ~IApplicationHost() = default;

    // Start-up has read the paths, before the frame and the units: what
    // lives in the transceiver list folder starts (QYNVU's BOOTP server).
    virtual void PathsRead() = 0;
    // Last step of start-up: the objects that load their user settings once
    // everything else exists (the environment, the printing document).
    virtual void LoadUserSettings() = 0;

    // An annotation (CR and LF already blanks) for the running sounder's
    // recorder, the printing document and the network and serial outputs.
    virtual void AnnotationToOutputs(const std::string& text, std::uint64_t fileTime) = 0;
    // A sound velocity profile text for every open recording file, then the
    // serial and the network output.
    virtual void ProfileToOutputs(const std::string& text, std::uint64_t fileTime) = 0;
    // The text as one profile datagram of the recorder alone; 0 when no
    // sounder with a recorder runs.
    virtual int RecordProfile(const std::string& text) = 0;

    // The navigation object exists and expects positions.
    virtual bool NavigationExpectsPositions() = 0;
    // The telegram decoder's file times of the last valid position and of
    // the last position-like telegram that was not the configured one (0:
    // none yet).
    virtual void GetPositionTimes(std::uint64_t& position, std::uint64_t& other) = 0;
    // The printing document refreshes its settings and answers whether it
    // has views; nullopt when the program has none.
    virtual std::optional<bool> RefreshPrintingDocument() = 0;
    // "History...": whether there is a printing document to open the
    // history dialog of, and the dialog run (it returns when closed).
    virtual bool HasHistoryDialog() = 0;
    virtual void OpenHistoryDialog() = 0;

    // The engine's extras behind "Second Layer", "Exp Calculation" and "Freq
    // Sweep": whether the program has them (their commands are greyed
    // otherwise), and the switches.
    virtual bool HasEngineExtra(unsigned commandId) = 0;
    virtual void SetSecondLayer(bool on) = 0;
    virtual void SetExpCalculation(bool on) = 0;
    virtual void FrequencySweep() = 0;

    // What follows a clock set through CClockSetter (the navigation
    // object's forced update ends).
    virtual void ClockWasSet() = 0;
};

class CShellHost : public IApplicationHost
{
public:
    void PathsRead() override {}
    void LoadUserSettings() override {}
    void AnnotationToOutputs(const std::string&, std::uint64_t) override {}
    void ProfileToOutputs(const std::string&, std::uint64_t) override {}
    int RecordProfile(const std::string&) override { return 0; }
    bool NavigationExpectsPositions() override { return false; }
    void GetPositionTimes(std::uint64_t& position, std::uint64_t& other) override { position = other = 0; }
    std::optional<bool> RefreshPrintingDocument() override { return std::nullopt; }
    bool HasHistoryDialog() override { return false; }
    void OpenHistoryDialog() override {}
    bool HasEngineExtra(unsigned) override { return false; }
    void SetSecondLayer(bool) override {}
    void SetExpCalculation(bool) override {}
    void FrequencySweep() override {}
    void ClockWasSet() override {}
};

}  // namespace app
