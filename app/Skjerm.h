// Screen layout: the channel frame windows inside the main frame's client
// area. The layout owns the frames it made and saves their settings when it
// is taken down. The frames themselves (echogram windows) belong to the
// display; the layout reaches them through ILayoutFrame and makes them
// through a factory the display installs.
#pragma once

#include "base/AppIds.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app {

struct LayoutRect
{
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

// One entry of the channel display table of operation control.
struct ChannelDisplay
{
    bool exists = false;
    bool shown = false;
    std::string shortId;
    std::string longId;
};
using ChannelDisplayTable = std::array<ChannelDisplay, 8>;

// A channel frame as the layout uses it.
class ILayoutFrame
{
public:
    virtual ~ILayoutFrame() = default;
    virtual bool SaveSettings() = 0;
    virtual bool LoadSettings() = 0;
    virtual void ArrangeViews() = 0;
    virtual void SetSharedMenu(unsigned menuId) = 0;
    virtual void SetDefaults() {}
};

// What a new frame needs to be built: its channel, place, kind and menu.
struct FramePlacement
{
    int channelIndex = 0;
    LayoutRect rect;
    int frameKind = 1;  // 1 or 2: the two kinds of channel frame
    unsigned menuId = 0;
};

using FrameFactory = std::function<std::unique_ptr<ILayoutFrame>(const FramePlacement&)>;

class CSkjerm
{
public:
    explicit CSkjerm(SounderModel model);
    virtual ~CSkjerm();
    CSkjerm(const CSkjerm&) = delete;
    CSkjerm& operator=(const CSkjerm&) = delete;

    virtual bool Arrange() { return false; }
    virtual int DeleteLayout();
    virtual bool SetFrameMenus();
    virtual bool LoadFrames();
    virtual bool SaveFrames();
    virtual void RefreshFrames();

    unsigned MenuId() const { return m_menuId; }
    std::size_t FrameCount() const { return m_frames.size(); }

    // Hooks of the history printing: reset before the frames go, told when
    // a layout has been built.
    std::function<void()> onResetHistory;
    std::function<void(int displayedChannels)> onDisplayedChannelCount;

protected:
    std::vector<std::unique_ptr<ILayoutFrame>> m_frames;
    unsigned m_menuId;
};

}  // namespace app
