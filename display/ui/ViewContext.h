// What the views of the display reach beyond their document, and what a
// channel frame hands to the documents and views it makes. The program
// gives each frame its context, so a view reaches only what its own program
// gave it. A context without a role has the role's defaults: what a view
// alone needs (tests, benchmarks).
#pragma once

#include "base/ModelCodes.h"
#include "display/DisplayContext.h"
#include "platform/WinTypes.h"
#include "sensors/NetSensors.h"

class CExternalDepth;
class CGeographicInfo;
class CSettingsFolder;

// The application's side-scan colour choices.
struct SSideScanScales
{
    int greyScaleOnSidescan = 0;
    int copperOnSidescan = 0;
};

// What the marks in an echogram read besides the view's channel and the
// external depth table. By default none of it is there: no marks.
class IEchogramMarkSources
{
public:
    virtual ~IEchogramMarkSources() = default;
    // The purse seine's net sensors: each state (INetSensors::State) and
    // depth (m).
    virtual void GetNetSensors(int states[INetSensors::kSensors], double depths[INetSensors::kSensors]) const;
    // The pinger's depth (m) while pinger mode synchronises.
    virtual bool GetPingerDepth(double& depth) const { return false; }
    // The running sounder's multi-pulse tracker: its smoothed depth and its
    // period (the tracker's third value); false without a tracker.
    virtual bool GetMultiPulseDepths(double& smoothed, double& period) const { return false; }
};

// What a view asks of the main window and the application around it.
class IViewHost
{
public:
    virtual ~IViewHost() = default;
    // The view's message window joins (true) or leaves the windows that the
    // main window's colour broadcasts reach.
    virtual void RegisterView(HWND view, bool add) {}
    // The depth row's colour bar picks a colour scheme of the main window.
    virtual void ApplyColourScheme(int scheme) {}
    // Read at every palette message of a side-scan echogram.
    virtual SSideScanScales GetSideScanScales() const { return {}; }
    // Colour depth of the display in bits; above 8 the main window hands
    // palettes. By default the primary screen's.
    virtual int GetDisplayDepth() const;
    // The tide correction (m, the last tide telegram's value negated) that
    // the scope pane adds to the transducer depth; none by default.
    virtual double GetTideCorrection() const { return 0.0; }
    // The main window's colour threshold: echo colours below it are not
    // shown in the echo trace panes. None by default.
    virtual int GetColourThreshold() const { return 0; }
    // The fish size constant b (dB) of the fish settings, -62 without them.
    virtual double GetFishConstant() const { return -62.0; }
    // The debug trace switch "Tracking": the echo trace panes draw the links
    // of their echoes from ping to ping.
    virtual bool IsTrackingShown() const { return false; }
};

// What an echogram view reaches of the application and the running sounder
// beyond its document: the fixed-interval mode that the wheel over its scale
// strip steps, and the simple pinger's timing, which Ctrl and the wheel
// shift. By default neither is there.
class IEchogramViewEnvironment
{
public:
    virtual ~IEchogramViewEnvironment() = default;
    // Fixed-interval mode: true with the interval (s).
    virtual bool GetFixedInterval(double& seconds) const { return false; }
    virtual void SetFixedInterval(double seconds) {}
    // Adds a wheel delta (0.1 ms a unit) to the next ping's time of the
    // running sounder when it paces its own pings; false when none does.
    virtual bool AddTimingCorrection(int delta) { return false; }
};

struct SViewContext
{
    SounderModel model = SounderModel::QY310;
    // The application's channel context menu, which the depth row opens:
    // kChannelMenuWithHeader (QY310, QYNVU), kChannelMenu (QY210), or 0 for
    // the models that have none.
    static constexpr unsigned kChannelMenuWithHeader = 252;
    static constexpr unsigned kChannelMenu = 253;
    unsigned channelMenu = kChannelMenuWithHeader;
    IViewHost* host = nullptr;
    // The external depth table, where a side-looking partner leaves its
    // samples; none: a side-looking echogram has no second side.
    const CExternalDepth* externalDepth = nullptr;
    // The geographic history, which keeps as many pings as the widest
    // echogram shows; none: there is no history to size.
    CGeographicInfo* geographicHistory = nullptr;
    const IEchogramMarkSources* markSources = nullptr;
    IEchogramViewEnvironment* echogramEnvironment = nullptr;

    // The host, or its defaults when the context has none.
    IViewHost& Host() const;
    const IEchogramMarkSources& MarkSources() const;
    IEchogramViewEnvironment& EchogramEnvironment() const;
};

// What a channel frame hands on to the documents and views it makes, and
// the folder of its settings file.
struct SFrameContext
{
    SDisplayContext documents;
    SViewContext views;
    // None: the settings file is looked for under its name alone.
    const CSettingsFolder* settingsFolder = nullptr;
};
