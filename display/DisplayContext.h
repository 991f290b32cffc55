// What the documents of the display reach beyond their channel. The program
// hands one context to the frames it makes, and each frame to the documents
// it makes, so a document reaches only what its own program gave it and
// nothing of a program outlives it.
//
// Each role's defaults are what a document alone needs (tests, tools,
// benchmarks): no fixed interval, no external depth, no dialog, and the
// main window's messages of the message dispatcher, which is process-wide by
// nature. A context without a role has those defaults.
#pragma once

#include "base/ModelCodes.h"

#include <string>
#include <vector>

class CAbstractESDoc;
class IEchoTraceDialogs;
class IEchogramDialogs;

// The road of a document's result to its views: hands the document to the
// user-interface thread, which updates its views. By default
// WM_ES_UPDATEALLVIEWS posted to the main window: the caller goes on at
// once, so a document that its views read on that thread hands over its
// results in a queue of its own (see CAbstractESDoc::UpdateAllViews).
class IViewUpdates
{
public:
    virtual ~IViewUpdates() = default;
    virtual void UpdateViews(CAbstractESDoc& document);
};

// What an echogram document asks of the application and the water model on
// every ping, and what it tells them.
class IEchogramHost
{
public:
    virtual ~IEchogramHost() = default;
    // Fixed-interval mode: true with the interval (s).
    virtual bool GetFixedInterval(double& seconds) const { return false; }
    virtual double GetSoundVelocity() const { return 1500.0; }
    // The time (ms) over which noise tracking finds the level step.
    virtual double GetLevelTime() const { return 0.0; }
    // The echogram type of a surface echogram, which the application keeps.
    virtual void SetApplicationEchogramValue(int type) {}
    // True while the pinger mode runs: the settings dialog then offers the
    // pinger gain instead of the TVG choice.
    virtual bool IsPingerMode() const { return false; }
    // Settings changed that the channel status window shows; by default
    // WM_ES_UPDATECHANNELSTATUS posted to the main window.
    virtual void ChannelStatusChanged();
};

// One source of the external depth table.
struct SExternalSource
{
    std::string name;
    double depth = 0.0;
};

// The external depth table as the echogram documents use it: the depth of
// a source, the eight sources, and what a side-looking echogram leaves there
// (the slant offset, the window its partner is to fill).
class IExternalDepthExchange
{
public:
    virtual ~IExternalDepthExchange() = default;
    // A valid depth under this name.
    virtual bool GetSourceDepth(const std::string& name, double& depth) const { return false; }
    virtual std::vector<SExternalSource> GetSources() const { return {}; }
    virtual void SetSlantOffset(double offset) {}
    virtual void PublishPartner(const std::string& name, double range, int rows, int side, int type, bool slant) {}
};

// What a depth document asks of the pinger mode and tells the status bar.
class IDepthHost
{
public:
    virtual ~IDepthHost() = default;
    // True while the pinger synchronises, with its depth (m).
    virtual bool GetPingerDepth(double& depth) const { return false; }
    // By default posted to the main window's status bar.
    virtual void StatusMessage(unsigned stringId);
    virtual void Alarm(unsigned stringId);
};

struct SDisplayContext
{
    SounderModel model = SounderModel::QY310;
    IViewUpdates* viewUpdates = nullptr;
    IEchogramHost* echogramHost = nullptr;
    IExternalDepthExchange* externalDepth = nullptr;
    IDepthHost* depthHost = nullptr;
    // The echogram document's dialogs; none: its dialog commands run nothing.
    IEchogramDialogs* echogramDialogs = nullptr;
    // The echo trace document's settings dialog; none: it shows nothing.
    IEchoTraceDialogs* echoTraceDialogs = nullptr;

    // Each role, or its defaults when the context has none.
    IViewUpdates& ViewUpdates() const;
    IEchogramHost& EchogramHost() const;
    IExternalDepthExchange& ExternalDepth() const;
    IDepthHost& DepthHost() const;
};
