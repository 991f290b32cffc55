// What the telegram decoder feeds and asks: the application, the navigation
// object, the running echo sounder and its recorder, and the objects that
// take positions, depths and relayed sentences. The program implements it in
// its composition root; an object the program does not have answers as
// absent (no settings, not running, no recorder) and takes nothing.
//
// Called on whichever thread decodes (the user-interface thread, or the
// trigger thread in replay); each object locks for itself.
#pragma once

#include "base/ModelCodes.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <string>

class CGeographicInfo;
class CExternalDepth;

// The navigation object's settings that the decoder reads.
struct SNavigationSettings
{
    std::uint32_t PositionSource = 0;  // 0 off, 1 serial, 2 network
    std::uint32_t ClockSource = 0;     // 0 off, 1 serial, 2 network
    std::uint32_t SpeedType = 0;       // 0 serial, 1 network, 2 manual
    std::string FieldSeparator = ",";
    std::string StartSequence;
    std::uint32_t StartField = 0;
    std::uint32_t NoOfFields = 0;
    std::uint32_t UseAutoZda = 0;
    double Latency = 0.0;  // ms
    std::uint32_t GGA_QI = 0;
    std::uint32_t GGA_NoOfSat = 0;
    double GGA_HorDil = 0.0;
    double AntennaHeight = 0.0;  // m
};

class INmeaDecoderHost
{
public:
    virtual ~INmeaDecoderHost() = default;

    // Application. A program without a main window (headless runs) decodes
    // nothing.
    virtual SounderModel GetModel() = 0;
    virtual bool HasMainWindow() = 0;
    virtual void AddAnnotation(const std::string& text, std::uint64_t time) = 0;
    // The position text for the status pane (message 0x46F, pane 0xB006).
    virtual void ShowPositionText(const std::string& text) = 0;
    // The tide in metres (the telegram's value negated), kept for the recorder.
    virtual void SetTide(double metres) = 0;
    virtual void PostStatusMessage(const std::string& text) = 0;
    // Sets the PC's UTC clock to the given file time.
    virtual void SetComputerClock(std::uint64_t utc) = 0;

    // Navigation object: false when there is none.
    virtual bool GetNavigationSettings(SNavigationSettings& settings) = 0;
    virtual bool IsClockRequest() = 0;  // its "Force Update" flag
    virtual void EndForceUpdate() = 0;
    virtual void SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText) = 0;
    virtual void SetMeasuredSpeed(double knots) = 0;

    // Echo sounder and its annotation object.
    virtual bool IsSounderRunning() = 0;
    virtual bool IsClockRequestPending() = 0;
    virtual void SetPingRecord(std::uint64_t received, std::uint64_t telegram) = 0;
    // The annotation object's navigation annotations: false when off, else
    // their interval in positions.
    virtual bool GetNavigationAnnotation(std::uint32_t& interval) = 0;

    // Recorder of the running sounder.
    virtual bool HasRecorder() = 0;
    virtual void SetHeaderValue(double antennaHeight) = 0;
    virtual void WriteNmeaToFiles(const std::string& sentence, std::uint64_t received) = 0;
    virtual void WriteNmeaDatagram(const std::string& sentence, std::uint64_t received) = 0;

    // Objects that take what the decoder found; null when absent.
    virtual CGeographicInfo* GetGeographicInfo() = 0;
    virtual CExternalDepth* GetExternalDepth() = 0;
    virtual void RemoteControl(const std::string& telegram, std::uint64_t received) = 0;
    virtual void PrintText(const std::string& text, std::uint64_t received) = 0;
    virtual void ForwardToPostProcessing(const std::string& text) = 0;
    // A navigation telegram for the outputs that relay it (network and
    // serial), each under its own switches.
    virtual void RelayToOutputs(const std::string& telegram, std::uint64_t time) = 0;
};

// A host with nothing around the decoder: no navigation object (so nothing
// is decoded), no sounder, no recorder, no outputs. Tests derive from it and
// give what they watch.
class CNoNmeaDecoderHost : public INmeaDecoderHost
{
public:
    SounderModel GetModel() override { return SounderModel::QY310; }
    bool HasMainWindow() override { return true; }
    void AddAnnotation(const std::string&, std::uint64_t) override {}
    void ShowPositionText(const std::string&) override {}
    void SetTide(double) override {}
    void PostStatusMessage(const std::string&) override {}
    void SetComputerClock(std::uint64_t) override {}
    bool GetNavigationSettings(SNavigationSettings&) override { return false; }
    bool IsClockRequest() override { return false; }
    void EndForceUpdate() override {}
    void SetClockTime(const SYSTEMTIME&, const std::string&, const std::string&) override {}
    void SetMeasuredSpeed(double) override {}
    bool IsSounderRunning() override { return false; }
    bool IsClockRequestPending() override { return false; }
    void SetPingRecord(std::uint64_t, std::uint64_t) override {}
    bool GetNavigationAnnotation(std::uint32_t&) override { return false; }
    bool HasRecorder() override { return false; }
    void SetHeaderValue(double) override {}
    void WriteNmeaToFiles(const std::string&, std::uint64_t) override {}
    void WriteNmeaDatagram(const std::string&, std::uint64_t) override {}
    CGeographicInfo* GetGeographicInfo() override { return nullptr; }
    CExternalDepth* GetExternalDepth() override { return nullptr; }
    void RemoteControl(const std::string&, std::uint64_t) override {}
    void PrintText(const std::string&, std::uint64_t) override {}
    void ForwardToPostProcessing(const std::string&) override {}
    void RelayToOutputs(const std::string&, std::uint64_t) override {}
};
