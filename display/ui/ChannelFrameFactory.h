// Makes the channel frames of the screen layout: the frame kind the layout
// chose, placed in the main window's MDI area, with its panes built and its
// channel set before its documents take pings.
#pragma once

#include "app/Skjerm.h"
#include "display/ui/ViewContext.h"

#include <functional>
#include <string>

class CChannel;
class CChannelFrameAbstract;
class CESDocList;
class QMdiArea;

struct ChannelFrameContext
{
    std::function<QMdiArea*()> area;
    std::function<CChannel*(int index)> channel;
    std::function<CESDocList*()> documents;
    std::function<bool()> replaying;
    // What the frames hand their documents and views.
    SFrameContext frames;
    // Told of each frame once it takes pings.
    std::function<void(CChannelFrameAbstract& frame)> frameMade;
};

app::FrameFactory MakeChannelFrameFactory(ChannelFrameContext context);
