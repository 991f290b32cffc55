#include "plot/ui/CurveCombo.h"

#include "plot/GraphProp.h"
#include "plot/ui/Graphix.h"

#include <QAbstractItemView>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QStyledItemDelegate>

namespace {

// Draws the popup's entries through the combo.
class CEntryDelegate : public QStyledItemDelegate
{
public:
    explicit CEntryDelegate(CCurveCombo* combo) : QStyledItemDelegate(combo), m_combo(combo) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_combo->DrawEntry(*p, option.rect, index.row(), option.state & QStyle::State_Selected,
                           option.state & QStyle::State_HasFocus);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(option.fontMetrics.height() + 4);
        return size;
    }

private:
    CCurveCombo* m_combo;
};

}  // namespace

CCurveCombo::CCurveCombo(QWidget* parent) : QComboBox(parent)
{
    setItemDelegate(new CEntryDelegate(this));
}

void CCurveCombo::DrawEntry(QPainter& p, const QRect& rect, int entry, bool selected, bool focused) const
{
    p.save();
    const QPalette& pal = palette();
    p.fillRect(rect, pal.color(selected ? QPalette::Highlight : QPalette::Base));
    if (const CGraphProp* curve = EntryCurve(entry)) {
        const QColor colour = CGraphix::ColourOf(curve->GetColor());
        // Pen and brush of one colour: the outline is part of the fill.
        p.fillRect(QRect(QPoint(rect.left() + 2, rect.top() + 2), QPoint(rect.left() + 21, rect.bottom() - 2)), colour);
        p.setPen(pal.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QRect text(QPoint(rect.left() + 25, rect.top()), rect.bottomRight());
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   QString::fromStdString(curve->GetName()));
    }
    if (focused) {
        QStyleOptionFocusRect frame;
        frame.initFrom(this);
        frame.rect = rect;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &frame, &p, this);
    }
    p.restore();
}

void CCurveCombo::Repaint()
{
    for (int entry = 0; entry < count(); ++entry) {
        if (const CGraphProp* curve = EntryCurve(entry))
            setItemText(entry, QString::fromStdString(curve->GetName()));
    }
    update();
    view()->viewport()->update();
}

void CCurveCombo::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText.clear();
    option.currentIcon = QIcon();
    p.drawComplexControl(QStyle::CC_ComboBox, option);
    if (currentIndex() < 0)
        return;
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    DrawEntry(p, field, currentIndex(), hasFocus(), hasFocus());
}
