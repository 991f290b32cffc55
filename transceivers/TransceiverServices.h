// What a transceiver unit gets of the program that runs it, handed over when
// the unit is made and kept for its life: the program outlives every unit.
// One interface for every type, so that a new type is one class and one row
// of the type table; a type uses what it has inputs and outputs for.
//
// The program implements it in its composition root, where the sensors a
// unit feeds or reads that the program does not have yet are named null
// objects. Called from the unit's constructing thread and its workers: the
// implementation marshals what must run on the user-interface thread.
#pragma once

#include "base/ModelCodes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class IAnalogMotionInput;
class IChannelLinks;
class IHardwareStatusSink;
class IMotionSensor;
class IThermistorInput;
class ITrawlSource;
class ITransceiverDialogs;

class ITransceiverServices
{
public:
    virtual ~ITransceiverServices() = default;

    // The model the program runs as.
    virtual SounderModel GetModel() const = 0;
    // Pinger mode's pulse length (ms) while pinger mode is on; empty when it
    // is off. Every channel takes the nearest pulse length it has.
    virtual std::optional<double> GetPingerPulseLength() const = 0;
    // What the channels a unit makes need of the program (not owned); null:
    // each channel runs on its own.
    virtual IChannelLinks* ChannelLinks() = 0;

    // Shows the operator that the unit is awaited, with the text, until
    // done() holds (true) or the operator gives up (false). Empty: there is
    // no one to show it to, and the unit waits on its own for a bounded time.
    virtual std::optional<bool> WaitForUnit(const std::string& text, const std::function<bool()>& done) = 0;
    // Samples were lost on the link (gap filling, placeholders).
    virtual void OnLostSamples() = 0;
    // The PC's bell: the unit refused to be used.
    virtual void Beep(unsigned hz, unsigned ms) = 0;
    // A status message (alarm: an alarm) of a string id, from any thread.
    virtual void PostUnitStatus(unsigned stringId, bool alarm) = 0;
    // The folder of the units' software files (HxuSwPath); empty: none.
    virtual std::string GetUnitSoftwareFolder() const = 0;
    // The transceiver list folder (TrListPath), where the wide-band unit's
    // firmware files lie; empty: none.
    virtual std::string GetTransceiverListFolder() const = 0;
    // Asks the operator, from any thread, whether the unit's firmware is to
    // be replaced by the file: true "Yes", false "No" or the operator could
    // not be asked; ended() holds once the asking unit gives up waiting.
    virtual bool AskFirmwareUpgrade(const std::string& unitFirmware, const std::string& newFile,
                                    const std::function<bool()>& ended) = 0;

    // The water: sound velocity (m/s) and the absorption (dB/m) at a
    // frequency (Hz); empty when the program has none to give, and the unit
    // keeps what it has.
    virtual std::optional<double> GetSoundVelocity() = 0;
    virtual std::optional<double> GetAbsorption(double frequency) = 0;

    // The settings dialogs of the units' channels; null: there is no one to
    // show them to, and no channel dialog is offered.
    virtual ITransceiverDialogs* Dialogs() = 0;
    // The tide (m) the program applies, which the channel dialogs show.
    virtual double GetTide() const = 0;

    // The hardware status window, fed with the units' status answers.
    virtual IHardwareStatusSink& HardwareStatus() = 0;
    // The sensors: motion at a time, for a ping's motion; the heave
    // sensor's and the temperature sensor's analog inputs, which units with
    // an analog input feed; the trawl data of each ping.
    virtual IMotionSensor& Motion() = 0;
    virtual IAnalogMotionInput& AnalogMotion() = 0;
    virtual IThermistorInput& Thermistor() = 0;
    virtual ITrawlSource& Trawl() = 0;
    // A text telegram a unit passes on from its own inputs, received at
    // time (100 ns units since 1601, UTC), for the telegram decoder as one
    // from the network.
    virtual void TakeUnitTelegram(const std::string& text, std::uint64_t time) = 0;
};
