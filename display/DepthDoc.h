// The depth row's document: once per ping it takes the channel's bottom
// depth, smooths it with a short median when the channel asks for that,
// replaces it with the pinger's depth while the pinger synchronises, raises
// the depth alarms and has its views updated on the user-interface thread.
// Its settings (alarm limits and switches) travel in the channel frame's
// settings file together with the channel's detector, slope and colour-scale
// settings.
#pragma once

#include "display/AbstractESDoc.h"
#include "display/DisplayContext.h"
#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CArchive;
class CEchogramDoc;

// What a depth document reads of its channel on every ping; the document
// reads a real channel unless a test puts its own in.
class IDepthChannel
{
public:
    virtual ~IDepthChannel() = default;
    // Bottom found in this ping, with its depth (m).
    virtual bool GetBottom(double& depth) = 0;
    // Whether the real-time profile is in use, with the corrected depth.
    virtual bool GetCorrectedDepth(double& depth) = 0;
    // The channel's depth-filter switch: the depth is smoothed by a median.
    virtual bool IsDepthFilterOn() const = 0;
};

class CDepthDoc : public CAbstractESDoc
{
public:
    static constexpr unsigned IDS_BOTTOM_LOST = 45066;
    static constexpr unsigned IDS_BOTTOM_MINIMUM = 45067;
    static constexpr unsigned IDS_BOTTOM_MAXIMUM = 45068;

    explicit CDepthDoc(const SDisplayContext& context = {});
    ~CDepthDoc() override;
    const SDisplayContext& GetContext() const { return m_context; }

    BOOL OnNewDocument() { return 1; }
    void OnSourceUpdate(int flag) override;
    void SetChannel(CChannel* channel) override;
    // The document's channel seen through the interface; a test sets its own.
    void SetDepthChannel(IDepthChannel* channel) { m_access = channel; }
    // Alarm settings, then the channel's detector, own, slope and
    // colour-scale settings.
    void Serialize(CArchive& ar);

    // Pushes a depth into the history (newest first) and returns the median.
    double Median(double depth);

    // What a ping leaves for the views: taken on the ping thread, put in
    // place on the user-interface thread just before the views show it.
    struct SShownDepth
    {
        // Counts the document's results from 1; 0: none shown yet.
        std::uint64_t number = 0;
        double depth = 0.0;
        bool bottomFound = false;
        bool pingerDepthInUse = false;
    };
    // The ping the views show now. User-interface thread only.
    const SShownDepth& Shown() const { return m_shown; }

    // The last ping's values (ping thread).
    double GetDepth() const { return m_depth; }
    bool IsBottomFound() const { return m_bottomFound; }
    bool IsPingerDepthInUse() const { return m_pingerDepthInUse; }
    bool IsProfileInUse() const { return m_profileInUse; }
    double GetCorrectedDepth() const { return m_correctedDepth; }
    // Expires when the document goes: a modal dialog run on its settings
    // may outlast it (the layout torn down meanwhile) and then has nothing
    // to write back to.
    std::weak_ptr<const void> Lifetime() const { return m_lifetime; }

    // The alarm settings as one piece. The bottom detector dialog edits them
    // on the user-interface thread while each ping checks them on the ping
    // thread, so that side goes through these.
    struct AlarmSettings
    {
        bool bottomLost = false;
        bool minimumOn = false;
        bool maximumOn = false;
        double minimum = 0.0;
        double maximum = 0.0;
    };
    AlarmSettings GetAlarmSettings() const;
    void SetAlarmSettings(const AlarmSettings& settings);

    // Settings, edited by the bottom detector dialog.
    bool m_bottomLostMessage = false;
    bool m_minimumAlarm = false;
    bool m_maximumAlarm = false;
    double m_minimumDepth = 0.0;
    double m_maximumDepth = 0.0;
    // Set by the first kind of channel frame; not owned.
    CEchogramDoc* m_upperEchogram = nullptr;
    CEchogramDoc* m_lowerEchogram = nullptr;

protected:
    bool QueuesResults() const override { return true; }
    std::uint64_t NewestResult() const override;
    bool TakeResult(std::uint64_t upTo) override;

private:
    const SDisplayContext m_context;
    std::vector<double> m_history;
    double m_median = 0.0;
    bool m_profileInUse = false;
    double m_correctedDepth = 0.0;
    bool m_pingerDepthInUse = false;
    double m_depth = 0.0;
    bool m_bottomFound = false;
    std::unique_ptr<IDepthChannel> m_ownAccess;
    IDepthChannel* m_access = nullptr;
    // Guards the alarm settings above.
    mutable std::mutex m_alarmLock;
    std::shared_ptr<const int> m_lifetime = std::make_shared<const int>(0);
    // Pings' results on their way to the views, and the one shown.
    mutable std::mutex m_resultLock;
    std::deque<SShownDepth> m_results;
    std::uint64_t m_resultCount = 0;
    SShownDepth m_shown;
};
