// The one screen layout the program uses: one frame per displayed channel,
// stacked, side by side, or chosen from the client area's shape.
#pragma once

#include "app/Skjerm.h"

#include <optional>
#include <vector>

namespace app {

enum class SplitType { Stacked, SideBySide, OneOverTwo, Grid2x2, TwoColumns };

// View arrangements as operation control stores them.
inline constexpr int kArrangementHorizontal = 0;
inline constexpr int kArrangementVertical = 1;
inline constexpr int kArrangementAutomatic = 2;
// What an unknown stored arrangement is read as: the settings' own default.
inline constexpr int kDefaultArrangement = kArrangementHorizontal;

// The pattern for n displayed channels on a client area of width x height.
// arrangement must be 0, 1 or 2.
SplitType ChooseSplit(int arrangement, int n, int width, int height);

// Frame rectangles, in the order of the displayed channels.
std::vector<LayoutRect> ComputeFrameRects(SplitType split, int n, int width, int height);

// Everything the layout reads from operation control, the echo sounder and
// the main frame when it arranges.
struct LayoutSource
{
    ChannelDisplayTable displays;
    int arrangement = kDefaultArrangement;
    bool echoSounderRuns = false;
    int clientWidth = 0;
    int clientHeight = 0;
    // Frame kind of a channel (1 or 2); null: kind 1 for every channel.
    std::function<int(int channelIndex)> frameKindOf;
    // Whether the echo sounder has the channel; null: it has every one.
    std::function<bool(int channelIndex)> hasChannel;
};

class CStandardESLayout : public CSkjerm
{
public:
    CStandardESLayout(SounderModel model, LayoutSource source, FrameFactory factory);

    bool Arrange() override;

    // The arrangement the last Arrange used, and whether the stored one was
    // out of range and replaced by the default.
    int UsedArrangement() const { return m_usedArrangement; }
    bool ArrangementReplaced() const { return m_arrangementReplaced; }

    // Frame kind for a model: the first kind for the QY models, and for RM30
    // when the channel says so; the second kind otherwise.
    static int FrameKindFor(SounderModel model, int channelAttribute);

private:
    SounderModel m_model;
    LayoutSource m_source;
    FrameFactory m_factory;
    int m_usedArrangement = kDefaultArrangement;
    bool m_arrangementReplaced = false;
};

}  // namespace app
