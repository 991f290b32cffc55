// The depth row of a channel frame: the channel's and the transceiver's
// names, the bottom depth in the selected unit, the slope angle or trawl
// depth beside it and the twelve-cell colour bar. It is the channel's
// control point: its context menu (shown for every model) leads to the
// channel's settings, a click on the colour bar picks a colour scheme.
//
// User-interface thread only.
#pragma once

#include "base/ModelCodes.h"
#include "display/ui/SCView.h"

#include <QFont>
#include <QRect>

#include <functional>
#include <string>

class CDepthDoc;
class QMenu;

class CDepthView : public CSCView
{
    Q_OBJECT
public:
    static constexpr int kCellCount = 12;
    // Command ids of the context menu.
    enum Command : unsigned {
        ID_TRANSCEIVER_SETTINGS = 32937,
        ID_BOTTOM_DETECTOR = 32938,
        ID_COLOUR_SCALE = 32939,
        ID_UPPER_ECHOGRAM = 32940,
        ID_LOWER_ECHOGRAM = 32941,
        ID_UPPER_RANGE = 32942,
        ID_LOWER_RANGE = 32943,
        ID_SLOPE_SETTINGS = 32944,
        ID_STATUS_WINDOW = 32945,
        ID_CHANNEL_HEADER = 32946,
        ID_ECHOGRAM_FILTER = 57702,
        ID_FONT = 32773,
    };

    // The program around the view; every member may be empty.
    struct Environment
    {
        SounderModel model = SounderModel::QY310;
        std::function<void(int scheme)> applyColourScheme;
        // What the view shows of its channel.
        std::function<std::string(const CDepthDoc&)> channelTitle;
        std::function<std::string(const CDepthDoc&)> transceiverName;
        // Slope angle (degrees) when the channel's slope is valid.
        std::function<bool(const CDepthDoc&, double& angle)> slope;
        // Trawl depth (m) when the channel's trawl marker found one.
        std::function<bool(const CDepthDoc&, double& depth)> trawl;
        // Runs a context-menu command; false when it has nothing to run.
        std::function<bool(CDepthDoc&, unsigned id)> command;
        // Whether command would run anything now; the menu greys out what
        // would not. Empty: every item stays as the menu has it.
        std::function<bool(const CDepthDoc&, unsigned id)> available;
    };
    static void SetEnvironment(const Environment& environment);
    static const Environment& GetEnvironment();

    explicit CDepthView(CDepthDoc* document, QWidget* parent = nullptr);
    ~CDepthView() override;

    CDepthDoc* GetDocument() const { return m_document; }
    void OnInitialUpdate();
    // The per-ping update: only the texts are drawn again.
    void OnUpdate() override;

    // The depth text in the depth unit for a model.
    static std::string FormatDepth(SounderModel model, double metres, double shown, const std::string& unit);
    // Colour scheme of a click at x on a bar from left to right.
    static int SchemeAt(int x, int left, int right);
    // Builds the context menu; every model gets one.
    QMenu* BuildContextMenu(QWidget* parent) const;
    const QRect& ColourBar() const { return m_colourBar; }
    const QFont& TextFont() const { return m_font; }
    void SetTextFont(const QFont& font);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void RunCommand(unsigned id);
    void ChooseFont();
    std::string DepthText() const;

    CDepthDoc* m_document;
    QRect m_colourBar;
    QRect m_nameBox;
    QRect m_sideText;
    int m_cellWidth = 16;
    int m_cellHeight = 16;
    bool m_oneLine = false;
    QFont m_font;
};
