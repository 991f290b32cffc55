// The program around documents under test, a small one per case: each role
// answers and records what the case sets, and Context() hands them to the
// documents the case makes.
#pragma once

#include "display/EchogramDoc.h"

#include <functional>
#include <vector>

class CTestDisplayContext : public IViewUpdates,
                            public IEchogramHost,
                            public IExternalDepthExchange,
                            public IDepthHost,
                            public IEchogramDialogs
{
public:
    using Range = std::function<int(CEchogramDoc::RangeDialogValues&, const DialogOpened&)>;
    using Filter = std::function<int(CEchogramDoc::FilterDialogValues&, const DialogOpened&)>;
    using Settings = std::function<int(CEchogramDoc::SettingsDialogValues&, const DialogOpened&)>;

    SounderModel model = SounderModel::QY310;
    // A document's views: counted, then this when set.
    std::function<void(CAbstractESDoc&)> updateViews;
    int updates = 0;
    int channelStatusChanges = 0;
    std::vector<SExternalSource> sources;
    // The pinger's depth while positive.
    double pingerDepth = 0.0;
    std::vector<unsigned> statusMessages, alarms;
    // The dialogs; one not set could not be made (0).
    Range rangeDialog;
    Filter filterDialog;
    Settings settingsDialog;

    SDisplayContext Context()
    {
        SDisplayContext context;
        context.model = model;
        context.viewUpdates = this;
        context.echogramHost = this;
        context.externalDepth = this;
        context.depthHost = this;
        context.echogramDialogs = this;
        return context;
    }

    void UpdateViews(CAbstractESDoc& document) override
    {
        ++updates;
        if (updateViews)
            updateViews(document);
    }
    void ChannelStatusChanged() override { ++channelStatusChanges; }
    std::vector<SExternalSource> GetSources() const override { return sources; }
    bool GetPingerDepth(double& depth) const override
    {
        depth = pingerDepth;
        return pingerDepth > 0.0;
    }
    void StatusMessage(unsigned stringId) override { statusMessages.push_back(stringId); }
    void Alarm(unsigned stringId) override { alarms.push_back(stringId); }
    int RunRange(CEchogramDoc::RangeDialogValues& v, const DialogOpened& opened) override
    {
        return rangeDialog ? rangeDialog(v, opened) : 0;
    }
    int RunFilter(CEchogramDoc::FilterDialogValues& v, const DialogOpened& opened) override
    {
        return filterDialog ? filterDialog(v, opened) : 0;
    }
    int RunSettings(CEchogramDoc::SettingsDialogValues& v, const DialogOpened& opened) override
    {
        return settingsDialog ? settingsDialog(v, opened) : 0;
    }
};
