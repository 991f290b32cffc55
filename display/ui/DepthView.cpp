#include "display/ui/DepthView.h"

#include "base/AppIds.h"
#include "base/DepthUnit.h"
#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"
#include "display/ui/DepthViewCommands.h"
#include "engine/Channel.h"
#include "transceivers/Transceiver.h"

#include <QFontDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QWheelEvent>

#include <cmath>
#include <cstdio>

namespace {
// Names of the two echogram items by the echogram's range reference; empty
// keeps the menu's own text.
std::pair<QString, QString> EchogramItemTexts(const CEchogramDoc* doc)
{
    if (!doc)
        return {};
    switch (doc->m_rangeReference) {
    case CEchogramDoc::SURFACE:
        return {"Surface Echogram...", "Surface Range..."};
    case CEchogramDoc::BOTTOM:
        return {"Bottom Echogram...", "Bottom Range..."};
    case CEchogramDoc::SLOPE:
        return {"Slope Graph...", "Slope Limits..."};
    default:
        return {};
    }
}
}  // namespace

std::string CDepthViewChannel::GetTitle() const
{
    const CChannel* channel = m_document.GetChannel();
    return channel ? channel->GetChannelName() : std::string();
}

std::string CDepthViewChannel::GetSecondName() const
{
    const CChannel* channel = m_document.GetChannel();
    return channel ? channel->GetSecondName() : std::string();
}

bool CDepthViewChannel::IsDepthHeld() const
{
    const CChannel* channel = m_document.GetChannel();
    return channel && channel->GetParameters().TransceiverMode == 1;
}

std::string CDepthViewChannel::GetTransceiverName() const
{
    CChannel* channel = m_document.GetChannel();
    CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
    return transceiver ? transceiver->GetChannelName(channel) : std::string();
}

bool CDepthViewChannel::GetSlope(double& angle) const
{
    const CChannel* channel = m_document.GetChannel();
    if (!channel || !channel->IsSlopeValid())
        return false;
    if (!channel->GetSlopeAngle(angle))
        angle = 0.0;
    return true;
}

bool CDepthViewChannel::GetTrawl(double& depth) const
{
    const CChannel* channel = m_document.GetChannel();
    if (!channel || !channel->GetAccumulatedFlag())
        return false;
    depth = channel->GetEchogramValue();
    return true;
}

CDepthView::CDepthView(CDepthDoc* document, const SViewContext& context, QWidget* parent)
    : CSCView(context, parent), m_document(document)
{
    SetChannelAccess(nullptr);
    m_font.setFamily("Arial");
    setMouseTracking(true);
    if (m_document)
        m_document->AddView(this);
}

CDepthView::~CDepthView()
{
    if (m_document)
        m_document->RemoveView(this);
}

void CDepthView::SetChannelAccess(const IDepthViewChannel* channel)
{
    m_ownAccess.reset();
    if (!channel && m_document) {
        m_ownAccess = std::make_unique<CDepthViewChannel>(*m_document);
        channel = m_ownAccess.get();
    }
    m_access = channel;
}

void CDepthView::OnInitialUpdate()
{
    CSCView::OnInitialUpdate();
    CreateMemoryDC();
    CreateDibSection();
    setWindowTitle("DepthView");
}

void CDepthView::SetTextFont(const QFont& font)
{
    m_font = font;
    update();
}

std::string CDepthView::FormatDepth(SounderModel model, double metres, double shown, const std::string& unit)
{
    char text[64];
    if (model == SounderModel::RM30)
        std::snprintf(text, sizeof text, metres < 1000.0 ? "%5.1f%s" : "%5.0f%s", shown, unit.c_str());
    else
        std::snprintf(text, sizeof text, "%5.2f%s ", shown, unit.c_str());
    return text;
}

int CDepthView::SchemeAt(int x, int left, int right)
{
    if (right <= left)
        return 0;
    return static_cast<int>((x - left) * 12.0) / (right - left);
}

void CDepthView::TakeShownDepth()
{
    const CDepthDoc::SShownDepth& ping = m_document->Shown();
    if (!m_access->IsDepthHeld())
        m_shownDepth = ping.bottomFound ? CDepthUnit::FromMeters(ping.depth) : 0.0;
    // The pinger's depth is shown whatever the channel holds.
    if (ping.pingerDepthInUse)
        m_shownDepth = CDepthUnit::FromMeters(ping.depth);
}

std::string CDepthView::DepthText() const
{
    return FormatDepth(GetContext().model, m_document->Shown().depth, m_shownDepth, CDepthUnit::GetUnitSymbol());
}

std::string CDepthView::Title() const
{
    if (!m_access)
        return {};
    std::string title = m_access->GetTitle();
    const std::string second = m_access->GetSecondName();
    if (!second.empty())
        title += " / " + second;
    return title;
}

void CDepthView::resizeEvent(QResizeEvent* event)
{
    CSCView::resizeEvent(event);
    const int cx = event->size().width(), cy = event->size().height();
    m_colourBar = QRect(QPoint(cx - kCellCount * m_cellWidth - 3, 0), QPoint(cx - 1, m_cellHeight + 2));
    m_nameBox = QRect();
    int charHeight = 0;
    if (cy * 4.5 < cx) {
        m_oneLine = true;
        charHeight = cy < 100 ? cy : cy - 20;
    } else {
        m_oneLine = false;
        charHeight = static_cast<int>(((cx - 20) / 9) * 1.85);
    }
    // The height is meant for the whole line, ascent and descent, as the
    // layout above assumes; a pixel size sets only the em, whose line is
    // taller, so the digits would run off the strip.
    m_font.setPixelSize(std::max(1, charHeight));
    const int line = QFontMetrics(m_font).height();
    if (line > charHeight)
        m_font.setPixelSize(std::max(1, charHeight * charHeight / line));
    update();
}

void CDepthView::OnUpdate()
{
    if (!m_document || !m_document->GetChannel())
        return;
    // Only the texts change from ping to ping, and mostly not at all; the
    // names and the bar stay.
    const QRegion changed = TakeTexts();
    if (!changed.isEmpty())
        update(changed);
}

QPoint CDepthView::DepthOrigin() const
{
    const int h = height();
    if (!m_oneLine)
        return {0, 20};
    return {width() / 3 - static_cast<int>(h * 3 / 1.5), h < 100 ? 0 : 20};
}

void CDepthView::Glyphs::For(const QFont& f)
{
    if (f == font)
        return;
    font = f;
    ready.fill(false);
}

const QStaticText* CDepthView::Glyphs::Glyph(QChar c)
{
    const int i = c.unicode() - kFirst;
    if (i < 0 || i >= kCount)
        return nullptr;
    const auto k = static_cast<std::size_t>(i);
    if (!ready[k]) {
        laidOut[k].setTextFormat(Qt::PlainText);
        laidOut[k].setText(QString(c));
        laidOut[k].prepare(QTransform(), font);
        advance[k] = QFontMetricsF(font).horizontalAdvance(c);
        ready[k] = true;
    }
    return &laidOut[k];
}

qreal CDepthView::Glyphs::Advance(const QString& text)
{
    qreal width = 0.0;
    for (const QChar c : text)
        width += Glyph(c) ? advance[static_cast<std::size_t>(c.unicode() - kFirst)]
                          : QFontMetricsF(font).horizontalAdvance(c);
    return width;
}

void CDepthView::Glyphs::Draw(QPainter& painter, QPointF at, const QString& text)
{
    for (const QChar c : text) {
        if (const QStaticText* glyph = Glyph(c)) {
            painter.drawStaticText(at, *glyph);
            at.rx() += advance[static_cast<std::size_t>(c.unicode() - kFirst)];
        } else {
            // Not a character the row's own texts have: drawn as it comes.
            const QFontMetricsF metrics(font);
            painter.drawText(at + QPointF(0.0, metrics.ascent()), QString(c));
            at.rx() += metrics.horizontalAdvance(c);
        }
    }
}

QRegion CDepthView::TakeTexts()
{
    TakeShownDepth();
    const QString depth = QString::fromStdString(DepthText());
    const QColor text = GetColourTable()[CPaletteControl::kTextIndex];
    double angle = 0.0, trawlDepth = 0.0;
    QString side;
    QColor sideColour = text;
    if (m_access->GetTrawl(trawlDepth)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%5.1fm", trawlDepth);
        side = buffer;
        sideColour = GetColourTable()[193];
    } else if (m_access->GetSlope(angle)) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%5.1fdeg", angle);
        side = buffer;
    }

    const QPoint origin = DepthOrigin();
    const bool relayout = m_font != m_laidFont || origin != m_laidOrigin;
    m_glyphs.For(m_font);
    QRegion changed;
    // A box reaches the row's foot and a little beyond the advance, where
    // a glyph may overhang.
    const int overhang = QFontMetrics(m_font).maxWidth() / 2;
    auto take = [&](RowText& t, const QString& value, const QColor& colour, int x) {
        if (!relayout && value == t.text && colour == t.colour && x == t.x)
            return;
        changed += t.box;
        t.text = value;
        t.colour = colour;
        t.x = x;
        t.box = value.isEmpty() ? QRect()
                                : QRect(x, origin.y(), static_cast<int>(std::ceil(m_glyphs.Advance(value))) + overhang,
                                        height() - origin.y());
        changed += t.box;
    };
    take(m_depthText, depth, text, origin.x());
    const int sideX = origin.x() + static_cast<int>(m_glyphs.Advance(depth)) + 2;
    take(m_besideText, side, sideColour, sideX);
    m_laidFont = m_font;
    m_laidOrigin = origin;
    // The names are drawn when they change too (a transceiver found late).
    std::string names = Title() + '\n' + m_access->GetTransceiverName();
    if (names != m_names) {
        m_names = std::move(names);
        // Under the colour bar they are hidden.
        changed += QRect(0, 0, m_colourBar.isNull() ? width() : m_colourBar.left(), QFontMetrics(font()).height() + 3);
    }
    // Where a right click opens the slope settings.
    m_sideText = side.isEmpty() ? QRect() : QRect(sideX, 0, static_cast<int>(m_glyphs.Advance(side)), height());
    return changed;
}

void CDepthView::OnDraw(QPainter& painter)
{
    if (!m_document || !m_document->GetChannel())
        return;
    // A paint that no ping asked for (a new unit, an uncovered window) shows
    // the texts as they are now; what it does not reach is painted next.
    const QRegion changed = TakeTexts();
    if (!(changed - PaintRegion()).isEmpty())
        update(changed);

    const QColor background = GetColourTable()[CPaletteControl::kBackgroundIndex];
    const QColor text = GetColourTable()[CPaletteControl::kTextIndex];
    for (const QRect& r : PaintRegion())
        painter.fillRect(r, background);
    painter.setPen(QPen(text, 1));
    painter.setBrush(background);

    // Names.
    const QFontMetrics names(painter.font());
    const int namesHeight = names.height() + 2;
    // Once drawn, the names' boxes are known: a depth beside them leaves them be.
    const QRect namesArea = m_nameBox.isNull() ? QRect(0, 0, width(), namesHeight + 1)
                                               : m_nameBox.united(m_transceiverBox).adjusted(0, 0, 1, 1);
    if (PaintRegion().intersects(namesArea)) {
        const QString titleText = QString::fromStdString(Title());
        const int titleWidth = names.horizontalAdvance(titleText);
        m_nameBox = QRect(0, 0, titleWidth + 10, namesHeight);
        painter.drawRect(m_nameBox);
        painter.drawText(5, 1 + names.ascent(), titleText);
        const std::string second = m_access->GetTransceiverName();
        m_transceiverBox = QRect();
        if (!second.empty()) {
            const QString secondText = QString::fromStdString(second);
            m_transceiverBox = QRect(titleWidth + 10, 0, names.horizontalAdvance(secondText) + 10, namesHeight);
            painter.drawRect(m_transceiverBox);
            painter.drawText(titleWidth + 15, 1 + names.ascent(), secondText);
        }
    }

    // Colour bar.
    if (PaintRegion().intersects(m_colourBar.adjusted(0, 0, 1, 1))) {
        painter.drawRect(m_colourBar);
        for (int i = 0; i < kCellCount; ++i)
            painter.fillRect(m_colourBar.left() + 1 + i * m_cellWidth, m_colourBar.top() + 1, m_cellWidth, m_cellHeight,
                             GetColourTable()[CPaletteControl::kFirstEchoIndex + i]);
    }

    // Depth and the text beside it.
    painter.setFont(m_font);
    for (const RowText* t : {&m_depthText, &m_besideText})
        if (!t->text.isEmpty() && PaintRegion().intersects(t->box)) {
            painter.setPen(t->colour);
            m_glyphs.Draw(painter, t->box.topLeft(), t->text);
        }
}

QMenu* CDepthView::BuildContextMenu(QWidget* parent) const
{
    const unsigned menuId = GetContext().channelMenu;
    if (menuId != SViewContext::kChannelMenuWithHeader && menuId != SViewContext::kChannelMenu)
        return nullptr;
    auto* menu = new QMenu(parent);
    auto add = [this, menu](const QString& text, unsigned id) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        return action;
    };
    // Only one of the two menus has the channel's header.
    if (menuId == SViewContext::kChannelMenuWithHeader) {
        QAction* header =
            add(QString::fromStdString(m_access ? m_access->GetTitle() : std::string("Channel")), ID_CHANNEL_HEADER);
        header->setEnabled(false);
        menu->addSeparator();
    }
    add("Transceiver Settings...", ID_TRANSCEIVER_SETTINGS);
    add("Bottom Detector...", ID_BOTTOM_DETECTOR);
    add("Colour Scale...", ID_COLOUR_SCALE);
    add("Slope Settings...", ID_SLOPE_SETTINGS);
    menu->addSeparator();
    const CEchogramDoc* upper = m_document ? m_document->m_upperEchogram : nullptr;
    const CEchogramDoc* lower = m_document ? m_document->m_lowerEchogram : nullptr;
    auto [upperEchogram, upperRange] = EchogramItemTexts(upper);
    auto [lowerEchogram, lowerRange] = EchogramItemTexts(lower);
    add(upperEchogram.isEmpty() ? "Upper Echogram..." : upperEchogram, ID_UPPER_ECHOGRAM)->setEnabled(upper);
    add(lowerEchogram.isEmpty() ? "Lower Echogram..." : lowerEchogram, ID_LOWER_ECHOGRAM)->setEnabled(lower);
    add(upperRange.isEmpty() ? "Upper Range..." : upperRange, ID_UPPER_RANGE)->setEnabled(upper);
    add(lowerRange.isEmpty() ? "Lower Range..." : lowerRange, ID_LOWER_RANGE)->setEnabled(lower);
    add("Echogram Filter...", ID_ECHOGRAM_FILTER)->setEnabled(upper);
    menu->addSeparator();
    add("Status Window...", ID_STATUS_WINDOW);
    add("Font...", ID_FONT);
    // The view runs the font and status commands itself; the rest go to the
    // channel or the echograms, which may not be there to run them on.
    if (m_document)
        for (QAction* action : menu->actions()) {
            const unsigned id = action->data().toUInt();
            if (action->isEnabled() && id != 0 && id != ID_CHANNEL_HEADER && id != ID_FONT && id != ID_STATUS_WINDOW &&
                !CDepthViewCommands::CanRun(*m_document, id))
                action->setEnabled(false);
        }
    return menu;
}

void CDepthView::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton && m_colourBar.contains(p)) {
        GetContext().Host().ApplyColourScheme(SchemeAt(p.x(), m_colourBar.left(), m_colourBar.right()));
        return;
    }
    if (event->button() == Qt::LeftButton) {
        // The menu is this view's child: a frame torn down while it is open
        // takes both, and then there is nothing left to run a command on.
        const QPointer<QMenu> menu = BuildContextMenu(this);
        if (!menu)
            return;
        QAction* chosen = menu->exec(event->globalPosition().toPoint());
        if (!menu)
            return;
        const unsigned id = chosen ? chosen->data().toUInt() : 0;
        // The menu goes first: the command's dialog may outlast this view,
        // and the menu with it.
        delete menu;
        if (id != 0)
            RunCommand(id);
        return;
    }
    if (event->button() == Qt::RightButton && m_document) {
        // The dialog may outlast this view (its frame torn down meanwhile).
        const QPointer<CDepthView> alive(this);
        if (m_nameBox.contains(p) || m_transceiverBox.contains(p)) {
            RunTransceiverDialog(event->modifiers());
            // Drawn at once: the dialog may have changed the unit's names.
            if (alive)
                repaint();
            return;
        }
        if (m_colourBar.contains(p))
            RunCommand(ID_COLOUR_SCALE);
        else if (m_sideText.contains(p))
            RunCommand(ID_SLOPE_SETTINGS);
        else
            RunCommand(ID_BOTTOM_DETECTOR);
        if (alive)
            update();
    }
}

void CDepthView::mouseMoveEvent(QMouseEvent* event)
{
    const Qt::CursorShape shape =
        m_colourBar.contains(event->position().toPoint()) ? Qt::UpArrowCursor : Qt::ArrowCursor;
    if (cursor().shape() != shape)
        setCursor(shape);
    if (hasFocus())
        return;
    // The channel under the mouse becomes the active one, with its depth row
    // as the frame's view in focus.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) {
            if (QMdiArea* area = frame->mdiArea())
                area->setActiveSubWindow(frame);
            break;
        }
    setFocus(Qt::MouseFocusReason);
}

LRESULT CDepthView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NULL)
        return CSCView::OnMessage(message, wParam, lParam);
    CChannel* channel = m_document ? m_document->GetChannel() : nullptr;
    if (CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr)
        transceiver->ClearPendingFlag();
    return 0;
}

void CDepthView::wheelEvent(QWheelEvent* event)
{
    event->accept();
}

void CDepthView::RunCommand(unsigned id)
{
    if (id == ID_FONT) {
        ChooseFont();
        return;
    }
    if (id == ID_STATUS_WINDOW) {
        PostMessage(GetMainWindow(), app::WM_ES_SHOWCHANNELSTATUS, 1, 0);
        return;
    }
    if (m_document)
        CDepthViewCommands::Run(*m_document, id);
}

void CDepthView::RunTransceiverDialog(Qt::KeyboardModifiers modifiers)
{
    if (!m_document)
        return;
    CChannel* channel = m_document->GetChannel();
    CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    if (transceiver && (modifiers & both) == both) {
        // The window is told (message 0) when the diagnostic window goes.
        transceiver->ShowDiagnostics(static_cast<int>(GetSafeHwnd()));
        return;
    }
    CDepthViewCommands::RunTransceiverDialog(*m_document);
}

void CDepthView::ChooseFont()
{
    // No parent: the frame may be torn down while the dialog runs, and a
    // view taking its running dialog with it would free what the dialog's
    // caller still holds. The font goes only to a view still there.
    const QPointer<CDepthView> alive(this);
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, m_font, nullptr);
    if (ok && alive)
        SetTextFont(chosen);
}
