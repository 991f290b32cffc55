// The depth row's document: once per ping it takes the channel's bottom
// depth, smooths it with a short median when the channel asks for that,
// replaces it with the pinger's depth while the pinger synchronises, raises
// the depth alarms and has its views updated on the user-interface thread.
// Its settings (alarm limits and switches) travel in the channel frame's
// settings file together with the channel's detector, slope and colour-scale
// settings.
#pragma once

#include "display/AbstractESDoc.h"
#include "platform/WinTypes.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CArchive;
class CEchogramDoc;

class CDepthDoc : public CAbstractESDoc
{
public:
    static constexpr unsigned IDS_BOTTOM_LOST = 45066;
    static constexpr unsigned IDS_BOTTOM_MINIMUM = 45067;
    static constexpr unsigned IDS_BOTTOM_MAXIMUM = 45068;

    // What the document asks of its channel; the default asks the channel
    // itself, tests put their own in.
    struct ChannelAccess
    {
        // Bottom found in this ping, with its depth (m).
        std::function<bool(double& depth)> bottom;
        // Whether the real-time profile is in use, with the corrected depth.
        std::function<bool(double& depth)> correctedDepth;
        // The channel's depth-filter switch.
        std::function<bool()> depthFilter;
    };
    // The program around the document; every member has a harmless default.
    struct Environment
    {
        // True while the pinger synchronises, with its depth (m).
        std::function<bool(double& depth)> pingerDepth;
        std::function<void(unsigned stringId)> statusMessage;
        std::function<void(unsigned stringId)> alarm;
        // Hands the document to the user-interface thread and waits until
        // its views are updated; default: WM_ES_UPDATEALLVIEWS to the main window.
        std::function<void(CDepthDoc* doc)> updateViews;
    };
    static void SetEnvironment(const Environment& environment);
    static const Environment& GetEnvironment();

    CDepthDoc();
    ~CDepthDoc() override;

    BOOL OnNewDocument() { return 1; }
    void OnSourceUpdate(int flag) override;
    void SetChannel(CChannel* channel) override;
    void SetChannelAccess(ChannelAccess access) { m_access = std::move(access); }
    // Alarm settings, then the channel's detector, own, slope and
    // colour-scale settings.
    void Serialize(CArchive& ar);

    // Pushes a depth into the history (newest first) and returns the median.
    double Median(double depth);

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

private:
    ChannelAccess DefaultAccess();

    std::vector<double> m_history;
    double m_median = 0.0;
    bool m_profileInUse = false;
    double m_correctedDepth = 0.0;
    bool m_pingerDepthInUse = false;
    double m_depth = 0.0;
    bool m_bottomFound = false;
    ChannelAccess m_access;
    // Guards the alarm settings above.
    mutable std::mutex m_alarmLock;
    std::shared_ptr<const int> m_lifetime = std::make_shared<const int>(0);
};
