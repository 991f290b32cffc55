// The depth row of a channel frame: the channel's and the transceiver's
// names, the bottom depth in the selected unit, the slope angle or trawl
// depth beside it and the twelve-cell colour bar. It is the channel's
// control point: its context menu (on the models that have one) leads to
// the channel's settings, a click on the colour bar picks a colour scheme,
// and the frame under the mouse becomes the active one.
//
// User-interface thread only.
#pragma once

#include "base/ModelCodes.h"
#include "display/ui/SCView.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QRegion>
#include <QStaticText>

#include <array>
#include <memory>
#include <string>

class CDepthDoc;
class QMenu;

// What the depth row shows of its document's channel beside the depth; the
// row reads the real channel and its transceiver unless a test puts its own in.
class IDepthViewChannel
{
public:
    virtual ~IDepthViewChannel() = default;
    virtual std::string GetTitle() const = 0;
    // Shown after the title and " / "; empty when the channel shows none.
    virtual std::string GetSecondName() const = 0;
    // The transceiver's name for the channel; empty when there is none.
    virtual std::string GetTransceiverName() const = 0;
    // Slope angle (degrees) while the channel's slope is valid.
    virtual bool GetSlope(double& angle) const = 0;
    // Trawl depth (m) while the channel's trawl marker found one this ping.
    virtual bool GetTrawl(double& depth) const = 0;
    // While the channel is passive the row keeps the depth it showed last.
    virtual bool IsDepthHeld() const = 0;
};

// The real channel of a depth document, whichever it has at the time.
class CDepthViewChannel final : public IDepthViewChannel
{
public:
    explicit CDepthViewChannel(const CDepthDoc& document) : m_document(document) {}
    std::string GetTitle() const override;
    std::string GetSecondName() const override;
    std::string GetTransceiverName() const override;
    // A valid slope without an angle of its own yet shows 0.
    bool GetSlope(double& angle) const override;
    bool GetTrawl(double& depth) const override;
    bool IsDepthHeld() const override;

private:
    const CDepthDoc& m_document;
};

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

    explicit CDepthView(CDepthDoc* document, const SViewContext& context = {}, QWidget* parent = nullptr);
    ~CDepthView() override;

    CDepthDoc* GetDocument() const { return m_document; }
    // The channel the row reads; null: its document's real channel again.
    void SetChannelAccess(const IDepthViewChannel* channel);
    void OnInitialUpdate();
    // The per-ping update: only the boxes of the texts that changed are
    // drawn again.
    void OnUpdate() override;

    // The depth text in the depth unit for a model.
    static std::string FormatDepth(SounderModel model, double metres, double shown, const std::string& unit);
    // Colour scheme of a click at x on a bar from left to right.
    static int SchemeAt(int x, int left, int right);
    // Builds the context menu of the application's channel menu; null for
    // a model without one.
    QMenu* BuildContextMenu(QWidget* parent) const;
    // The channel's name as the name box shows it.
    std::string Title() const;
    // The depth last shown, in the depth unit.
    double GetShownDepth() const { return m_shownDepth; }
    const QRect& ColourBar() const { return m_colourBar; }
    const QRect& NameBox() const { return m_nameBox; }
    const QRect& TransceiverBox() const { return m_transceiverBox; }
    const QRect& SideTextBox() const { return m_sideText; }
    const QFont& TextFont() const { return m_font; }
    void SetTextFont(const QFont& font);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    // Message 0 clears the pending flag of the channel's transceiver.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void RunCommand(unsigned id);
    // A right click on the names: the unit's diagnostics with Control and
    // Shift held, else its channel dialog.
    void RunTransceiverDialog(Qt::KeyboardModifiers modifiers);
    void ChooseFont();
    // The depth to show now; kept while the channel holds it.
    void TakeShownDepth();
    std::string DepthText() const;
    // The depth and the text beside it as the document has them now, laid
    // out where they changed; returns the boxes to repaint (old and new).
    QRegion TakeTexts();
    // Where the depth text stands (its top left).
    QPoint DepthOrigin() const;

    CDepthDoc* m_document;
    std::unique_ptr<IDepthViewChannel> m_ownAccess;
    const IDepthViewChannel* m_access = nullptr;
    QRect m_colourBar;
    QRect m_nameBox;
    QRect m_transceiverBox;  // the transceiver's name for the channel
    QRect m_sideText;
    int m_cellWidth = 16;
    int m_cellHeight = 16;
    bool m_oneLine = false;
    double m_shownDepth = 0.0;
    QFont m_font;

    // The characters of the row's texts, each laid out once per font and
    // drawn one after the other: the depth changes at nearly every ping,
    // and shaping it anew each time cost more than all else the row does.
    struct Glyphs
    {
        static constexpr int kFirst = 32, kCount = 95;  // printable ASCII
        QFont font;
        std::array<QStaticText, kCount> laidOut;
        std::array<qreal, kCount> advance{};
        std::array<bool, kCount> ready{};
        void For(const QFont& f);
        qreal Advance(const QString& text);
        void Draw(QPainter& painter, QPointF at, const QString& text);

    private:
        // The layout of a character; null for one outside the table.
        const QStaticText* Glyph(QChar c);
    };
    Glyphs m_glyphs;

    // A text of the row; its box as drawn.
    struct RowText
    {
        QString text;
        QColor colour;
        int x = -1;
        QRect box;
    };
    RowText m_depthText;
    RowText m_besideText;
    // The font and origin the texts were placed for: a change places them
    // again.
    QFont m_laidFont;
    QPoint m_laidOrigin;
    // The names as last drawn.
    std::string m_names;
};
