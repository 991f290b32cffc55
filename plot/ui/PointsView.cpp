#include "plot/ui/PointsView.h"

#include "plot/AxisFormat.h"
#include "plot/PlotIds.h"
#include "plot/ui/GraphPropertySheet.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/PViewPointCombo.h"
#include "plot/ui/PointEdit.h"
#include "plot/ui/PointList.h"

#include <QFontMetrics>
#include <QMenu>
#include <QMessageBox>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// Dialog units of the form, by the average character size of its font: a
// quarter of the width and an eighth of the height.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont& font)
    {
        const QFontMetrics fm(font);
        const int letters =
            fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        m_x = (letters / 26 + 1) / 2;
        m_y = fm.height();
    }
    QRect Rect(int x, int y, int cx, int cy) const { return QRect(X(x), Y(y), X(cx), Y(cy)); }

private:
    int X(int units) const { return units * m_x / 4; }
    int Y(int units) const { return units * m_y / 8; }

    int m_x;
    int m_y;
};

// Painting of the view is held while it lives, when asked, and comes back as
// it was.
class CHeldPainting
{
public:
    CHeldPainting(QWidget* widget, bool hold) : m_widget(widget), m_was(widget->updatesEnabled())
    {
        if (hold)
            widget->setUpdatesEnabled(false);
    }
    ~CHeldPainting()
    {
        if (m_widget->updatesEnabled() != m_was)
            m_widget->setUpdatesEnabled(m_was);
    }
    CHeldPainting(const CHeldPainting&) = delete;
    CHeldPainting& operator=(const CHeldPainting&) = delete;

private:
    QWidget* m_widget;
    bool m_was;
};

constexpr int kMinListHeight = 30;
constexpr int kBottomGap = 5;

}  // namespace

CPointsView::CPointsView(QWidget* parent)
    : QWidget(parent), m_list(new CPointList(this)), m_combo(new CPViewPointCombo(this))
{
    setObjectName(QString::number(plot::IDD_POINTS_VIEW));
    setFont(QFont(QStringLiteral("Sans Serif"), 8));
    const CDialogUnits units(font());
    const QRect combo = units.Rect(3, 6, 105, 71);
    m_combo->setGeometry(combo.x(), combo.y(), combo.width(), m_combo->sizeHint().height());
    m_combo->setMaxVisibleItems(std::max(1, (combo.height() - m_combo->height()) / (fontMetrics().height() + 4)));
    m_list->setGeometry(units.Rect(3, 26, 105, 80));
    connect(m_combo, &QComboBox::currentIndexChanged, this, [this](int entry) {
        if (entry >= 0)
            SelectCurve(m_combo->itemData(entry).toInt());
    });
}

void CPointsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_view)
        OnInitialUpdate();
}

void CPointsView::OnInitialUpdate()
{
    m_view = CGraphView::FromChild(this);
    if (!m_view)
        return;
    const int half = m_list->viewport()->width() / 2;
    m_list->InsertColumn(0, QStringLiteral("Depth"), Qt::AlignLeft, half);
    m_list->InsertColumn(1, QStringLiteral("Sound Vel"), Qt::AlignLeft, half);
    m_list->SetHighlightMode(2);
    OnGraphMessage({plot::GN_REFRESH_LIST, {}});
}

void CPointsView::resizeEvent(QResizeEvent*)
{
    const int top = m_list->y();
    m_list->resize(m_list->width(), std::max(kMinListHeight, height() - kBottomGap - top));
}

const CGraphProp* CPointsView::CurrentCurve() const
{
    return m_view ? m_view->GetGraph(m_current) : nullptr;
}

void CPointsView::FillCombo()
{
    // Slot by slot rather than through the view's own curve cursor, which a
    // caller may be walking with when the message comes.
    const QSignalBlocker quiet(m_combo);
    m_combo->clear();
    for (int slot = 0; slot < CGraphModel::kMaxGraphs; ++slot) {
        if (const CGraphProp* curve = m_view->GetGraph(slot))
            m_combo->addItem(QString::fromStdString(curve->GetName()), slot);
    }
    m_combo->setCurrentIndex(m_combo->findData(m_current));
}

bool CPointsView::SelectCurve(int slot)
{
    if (!m_view || !m_view->GetGraph(slot))
        return false;
    m_current = slot;
    {
        const QSignalBlocker quiet(m_combo);
        m_combo->setCurrentIndex(m_combo->findData(slot));
    }
    FillList();
    return true;
}

void CPointsView::SelectFirstCurve()
{
    for (int slot = 0; slot < CGraphModel::kMaxGraphs; ++slot) {
        if (SelectCurve(slot))
            return;
    }
    m_current = -1;
    m_combo->setCurrentIndex(-1);
    m_list->DeleteAllItems();
}

void CPointsView::InsertRow(int index)
{
    const CGraphProp* curve = CurrentCurve();
    double x = 0.0;
    double y = 0.0;
    if (!curve || curve->GetPoint(index, x, y) < 0)
        return;
    // 0.0 - y: a point on the surface reads 0, not -0.
    const int row = m_list->InsertItem(
        index, QString::fromStdString(m_view->FormatAxisValue(0.0 - y, plot::kAxisY, CAxisFormat::WithUnit)));
    m_list->SetItemText(row, 1,
                        QString::fromStdString(m_view->FormatAxisValue(x, plot::kAxisX, CAxisFormat::WithUnit)));
}

void CPointsView::FillList()
{
    const CHeldPainting held(this, true);
    m_list->DeleteAllItems();
    if (const CGraphProp* curve = CurrentCurve()) {
        for (int i = 0; i < curve->GetCount(); ++i)
            InsertRow(i);
    }
    update();
}

long CPointsView::OnGraphMessage(const CGraphMessage& message)
{
    if (!m_view)
        return 0;
    const auto* point = std::get_if<CGraphPointRecord>(&message.record);
    const auto* axis = std::get_if<CGraphAxisRecord>(&message.record);
    const CHeldPainting held(this, (point && !point->flag) || (axis && !axis->redraw));
    const bool current = point && m_current >= 0 && point->slot == m_current;
    switch (message.code) {
    case plot::GN_POINT_ADDED:
        if (current)
            InsertRow(point->index);
        break;
    case plot::GN_POINT_DELETED:
        if (current)
            m_list->DeleteItem(point->index);
        break;
    case plot::GN_POINT_MOVED:
        if (current) {
            m_list->DeleteItem(point->index);
            InsertRow(point->newIndex);
        }
        break;
    case plot::GN_GRAPH_ADDED:
        FillCombo();
        if (point && m_current < 0)
            SelectCurve(point->slot);
        break;
    case plot::GN_GRAPH_REMOVED:
        // Whichever curve went, its entry goes with it.
        FillCombo();
        if (current)
            SelectFirstCurve();
        break;
    case plot::GN_GRAPH_CLEARED:
        if (current)
            m_list->DeleteAllItems();
        break;
    case plot::GN_GRAPH_CHANGED:
        if (current)
            m_combo->Repaint();
        break;
    case plot::GN_AXIS_FORMAT:
        FillList();
        break;
    case plot::GN_REFRESH_LIST:
        FillCombo();
        if (!SelectCurve(m_current))
            SelectFirstCurve();
        break;
    default:
        break;
    }
    return 0;
}

void CPointsView::EditPoint()
{
    const int row = m_list->GetFirstSelected();
    const CGraphProp* curve = CurrentCurve();
    double x = 0.0;
    double y = 0.0;
    if (!curve || curve->GetPoint(row, x, y) < 0)
        return;
    CPointEdit dialog(m_view->GetAxisFormat(plot::kAxisY).Rounded(0.0 - y),
                      m_view->GetAxisFormat(plot::kAxisX).Rounded(x), this);
    if (dialog.exec() == QDialog::Accepted)
        m_view->MovePoint(m_current, row, dialog.GetVelocity(), -dialog.GetDepth(), 1, 0, 1);
}

void CPointsView::DeletePoint()
{
    const int row = m_list->GetFirstSelected();
    if (!CurrentCurve() || row < 0)
        return;
    if (QMessageBox::question(this, QString(), QStringLiteral("Delete selected point?"),
                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes)
        m_view->DeletePoint(m_current, row, 1, 0);
}

void CPointsView::InsertPoint(int index)
{
    if (!CurrentCurve())
        return;
    CPointEdit dialog(0.0, 0.0, this);
    if (dialog.exec() == QDialog::Accepted)
        m_view->AddPoint(m_current, dialog.GetVelocity(), -dialog.GetDepth(), 1, 1, index, 0);
}

bool CPointsView::OnCommand(int id)
{
    const int row = m_list->GetFirstSelected();
    switch (id) {
    case plot::ID_POINT_EDIT:
        EditPoint();
        return true;
    case plot::ID_POINT_DELETE:
        DeletePoint();
        return true;
    case plot::ID_POINT_INSERT_BEFORE:
        InsertPoint(row);
        return true;
    case plot::ID_POINT_INSERT_AFTER:
        if (const CGraphProp* curve = CurrentCurve())
            InsertPoint(row >= 0 ? row + 1 : curve->GetCount());
        return true;
    case plot::ID_POINTS_HIDE:
        if (m_view)
            m_view->ShowPointsWindow(false);
        return true;
    case plot::ID_POINTS_PROPERTIES:
        if (m_view)
            CGraphPropertySheet::Run(*m_view, false, this);
        return true;
    case plot::ID_POINTS_REFRESH:
        OnGraphMessage({plot::GN_REFRESH_LIST, {}});
        return true;
    case plot::ID_POINTS_COPY:
        if (m_view)
            m_view->CopyAsText();
        return true;
    default:
        return false;
    }
}

std::unique_ptr<QMenu> CPointsView::BuildListMenu()
{
    if (!CurrentCurve())
        return nullptr;
    const bool row = m_list->GetFirstSelected() >= 0;
    auto menu = std::make_unique<QMenu>(
        row ? QStringLiteral("Point view RB menu") : QStringLiteral("Menu for empty list"), this);
    menu->setObjectName(QString::number(row ? plot::IDR_POINTS_MENU : plot::IDR_EMPTY_LIST_MENU));
    const auto add = [this, &menu](int id, const char* text) {
        QAction* action = menu->addAction(QString::fromLatin1(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    };
    if (row) {
        add(plot::ID_POINT_EDIT, "Edit");
        add(plot::ID_POINT_DELETE, "Delete");
        add(plot::ID_POINT_INSERT_BEFORE, "Insert before");
        add(plot::ID_POINT_INSERT_AFTER, "Insert after");
    } else {
        add(plot::ID_POINT_INSERT_AFTER, "Add point");
    }
    menu->addSeparator();
    add(plot::ID_POINTS_REFRESH, "Refresh");
    add(plot::ID_POINTS_COPY, "Copy");
    menu->addSeparator();
    add(plot::ID_POINTS_HIDE, "Hide");
    add(plot::ID_POINTS_PROPERTIES, "Properties");
    return menu;
}

void CPointsView::ShowListMenu(QPoint globalPos)
{
    if (std::unique_ptr<QMenu> menu = BuildListMenu())
        menu->exec(globalPos);
}
