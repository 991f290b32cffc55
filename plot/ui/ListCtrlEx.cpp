#include "plot/ui/ListCtrlEx.h"

#include "plot/ListSort.h"
#include "plot/ui/ListRows.h"

#include <QLocale>
#include <QPainter>
#include <QStyleOptionFocusRect>

#include <algorithm>

namespace {

// The list's date scale counts days from 30 December 1899.
double Days(QDate date, QTime time)
{
    return static_cast<double>(QDate(1899, 12, 30).daysTo(date)) + time.msecsSinceStartOfDay() / 86400000.0;
}

// Two-digit years read as 1930 to 2029, as the desktop writes them.
QDate InCentury(QDate date, const QString& format)
{
    return !format.contains(QStringLiteral("yyyy")) && date.year() < 1930 ? date.addYears(100) : date;
}

// A text read as date and time, date or time in the user's locale; day 0
// when it is none of them.
double DaysOf(const QString& text)
{
    const QLocale locale;
    const QString t = text.trimmed();
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QDateTime dt = locale.toDateTime(t, format); dt.isValid())
            return Days(InCentury(dt.date(), locale.dateFormat(format)), dt.time());
    }
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QDate d = locale.toDate(t, format); d.isValid())
            return Days(InCentury(d, locale.dateFormat(format)), QTime(0, 0));
    }
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        if (const QTime time = locale.toTime(t, format); time.isValid())
            return Days(QDate(1899, 12, 30), time);
    }
    return 0.0;
}

// The pixmap washed halfway towards the colour, as a selected row shows it.
QPixmap Blended(const QPixmap& image, const QColor& colour)
{
    QPixmap out = image;
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    QColor half = colour;
    half.setAlpha(128);
    p.fillRect(out.rect(), half);
    return out;
}

// A span of pixels [left, right) of one row.
QRect Span(int left, int right, int top, int height)
{
    return QRect(left, top, std::max(0, right - left), height);
}

}  // namespace

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTreeView(parent), m_rows(new CListRows(this)), m_header(new CHeaderCtrlEx(this))
{
    setHeader(m_header);
    setModel(m_rows);
    m_header->setStretchLastSection(false);
    // Clicks reach OnHeaderClick, which sorts only while sorting is on.
    m_header->setSectionsClickable(true);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setIndentation(0);
    setUniformRowHeights(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int column) { OnHeaderClick(column); });
}

CListCtrlEx::~CListCtrlEx() = default;

int CListCtrlEx::SetHighlightMode(int mode)
{
    const int old = m_highlightMode;
    if (mode > 2)
        return old;
    m_highlightMode = mode;
    viewport()->update();
    return old;
}

void CListCtrlEx::SetShowSelectionAlways(bool on)
{
    m_showSelectionAlways = on;
    viewport()->update();
}

int CListCtrlEx::InsertColumn(int column, const QString& heading, Qt::Alignment format, int width)
{
    const int at = m_rows->InsertColumn(column, heading, format);
    if (at >= 0)
        m_header->resizeSection(at, width);
    return at;
}

int CListCtrlEx::GetColumnCount() const
{
    return m_rows->columnCount();
}

int CListCtrlEx::InsertItem(int row, const QString& text)
{
    if (row < 0)
        return -1;
    return m_rows->InsertRow(std::min(row, GetItemCount()), text);
}

bool CListCtrlEx::SetItemText(int row, int column, const QString& text)
{
    if (!m_rows->IsRow(row) || column < 0)
        return false;
    auto& texts = m_rows->At(row).texts;
    if (static_cast<size_t>(column) >= texts.size())
        return false;
    texts[static_cast<size_t>(column)] = text;
    m_rows->Changed(row);
    return true;
}

QString CListCtrlEx::GetItemText(int row, int column) const
{
    if (!m_rows->IsRow(row) || column < 0)
        return {};
    const auto& texts = m_rows->At(row).texts;
    return static_cast<size_t>(column) < texts.size() ? texts[static_cast<size_t>(column)] : QString();
}

bool CListCtrlEx::DeleteItem(int row)
{
    return m_rows->RemoveRow(row);
}

void CListCtrlEx::DeleteAllItems()
{
    m_rows->Clear();
}

int CListCtrlEx::GetItemCount() const
{
    return m_rows->rowCount();
}

bool CListCtrlEx::SetItemData(int row, std::uintptr_t data)
{
    if (!m_rows->IsRow(row))
        return false;
    m_rows->At(row).data = data;
    return true;
}

std::uintptr_t CListCtrlEx::GetItemData(int row) const
{
    return m_rows->IsRow(row) ? m_rows->At(row).data : 0;
}

bool CListCtrlEx::SetItemImage(int row, int image)
{
    if (!m_rows->IsRow(row))
        return false;
    m_rows->At(row).image = image;
    m_rows->Changed(row);
    return true;
}

int CListCtrlEx::GetItemImage(int row) const
{
    return m_rows->IsRow(row) ? m_rows->At(row).image : 0;
}

unsigned CListCtrlEx::GetItemState(int row, unsigned mask) const
{
    if (!m_rows->IsRow(row))
        return 0;
    unsigned state = m_rows->At(row).state;
    const QModelIndex index = m_rows->index(row, 0);
    if (index.isValid() && selectionModel()->isSelected(index))
        state |= LVIS_SELECTED;
    if (index.isValid() && currentIndex().row() == row)
        state |= LVIS_FOCUSED;
    return state & mask;
}

bool CListCtrlEx::SetItemState(int row, unsigned state, unsigned mask)
{
    if (!m_rows->IsRow(row))
        return false;
    const QModelIndex index = m_rows->index(row, 0);
    if ((mask & LVIS_SELECTED) && index.isValid()) {
        const auto how = (state & LVIS_SELECTED) ? QItemSelectionModel::Select : QItemSelectionModel::Deselect;
        selectionModel()->select(index, how | QItemSelectionModel::Rows);
    }
    if ((mask & LVIS_FOCUSED) && index.isValid()) {
        if (state & LVIS_FOCUSED)
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        else if (currentIndex().row() == row)
            selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    }
    const unsigned kept = mask & ~(LVIS_SELECTED | LVIS_FOCUSED);
    unsigned& bits = m_rows->At(row).state;
    bits = (bits & ~kept) | (state & kept);
    m_rows->Changed(row);
    return true;
}

int CListCtrlEx::GetFirstSelected() const
{
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (first < 0 || range.top() < first)
            first = range.top();
    }
    return first;
}

void CListCtrlEx::SetSmallImages(std::vector<QPixmap> images)
{
    m_smallImages = std::move(images);
    viewport()->update();
}

void CListCtrlEx::SetStateImages(std::vector<QPixmap> images)
{
    m_stateImages = std::move(images);
    viewport()->update();
}

void CListCtrlEx::SetReferenceTime(const QDateTime& time)
{
    m_reference.reset();
    if (time.isValid())
        m_reference = Days(time.date(), time.time());
}

unsigned char CListCtrlEx::ColumnType(int column) const
{
    if (column < 0 || static_cast<size_t>(column) >= m_columnTypes.size())
        return 0;
    return m_columnTypes[static_cast<size_t>(column)];
}

int CListCtrlEx::CompareItems(const QString& a, const QString& b, int column) const
{
    switch (ColumnType(column)) {
    case listsort::kTextNoCase:
        return listsort::Sign(QString::compare(a, b, Qt::CaseInsensitive));
    case listsort::kWholeNumber:
        return listsort::CompareWhole(a.toStdString(), b.toStdString());
    case listsort::kDateTime:
        return listsort::CompareTimes(DaysOf(a), DaysOf(b), m_reference);
    default:
        return listsort::Sign(QString::compare(a, b, Qt::CaseSensitive));
    }
}

void CListCtrlEx::SwapRows(int a, int b)
{
    // The selection belongs to the rows, not to their places.
    const unsigned moving = LVIS_SELECTED | LVIS_FOCUSED;
    const unsigned stateA = GetItemState(a, moving);
    const unsigned stateB = GetItemState(b, moving);
    m_rows->Swap(a, b);
    SetItemState(a, stateB, moving);
    SetItemState(b, stateA, moving);
}

bool CListCtrlEx::Sort(int column, bool ascending, int low, int high)
{
    if (column < 0 || column >= m_header->count())
        return false;
    if (ColumnType(column) == listsort::kNotSortable)
        return true;
    if (high == -1)
        high = GetItemCount() - 1;
    if (low < 0 || high >= GetItemCount() || high <= low)
        return false;
    listsort::QuickSort(
        low, high, ascending, [this, column](int row) { return GetItemText(row, column); },
        [this, column](const QString& a, const QString& b) { return CompareItems(a, b, column); },
        [this](int a, int b) { SwapRows(a, b); });
    return true;
}

void CListCtrlEx::OnHeaderClick(int column)
{
    if (!m_sortEnabled)
        return;
    m_lastSortAscending = column == m_lastSortColumn ? !m_lastSortAscending : true;
    m_lastSortColumn = column;
    Sort(column, m_lastSortAscending, 0, -1);
}

void CListCtrlEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    DrawItem(*painter, index.row(), option.rect.top(), option.rect.height());
}

void CListCtrlEx::DrawItem(QPainter& p, int row, int top, int height) const
{
    if (!m_rows->IsRow(row) || GetColumnCount() == 0)
        return;
    p.save();
    const CListRows::Row& item = m_rows->At(row);
    const unsigned state = GetItemState(row, ~0u);
    const bool selectedLook =
        (state & LVIS_DROPHILITED) || ((state & LVIS_SELECTED) && (hasFocus() || m_showSelectionAlways));

    // Spans of pixels, each [left, right).
    const int rowLeft = m_header->sectionViewportPosition(0);
    int rowRight = rowLeft + m_header->length();
    const int stateWidth = m_stateImages.empty() ? 0 : m_stateImages.front().width();
    const int iconWidth = m_smallImages.empty() ? 0 : m_smallImages.front().width();
    const int iconLeft = rowLeft + stateWidth;
    int labelLeft = iconLeft + iconWidth;
    int labelRight = rowLeft + m_header->sectionSize(0);
    const QFontMetrics fm(font());
    const int margin = 2 * fm.horizontalAdvance(QLatin1Char(' '));
    const QString& first = item.texts[0];

    int lightLeft = labelLeft;
    int lightRight = labelRight;
    switch (m_highlightMode) {
    case 0:
        lightRight = std::min(labelRight, labelLeft + fm.horizontalAdvance(first) + margin);
        break;
    case 1:
        lightRight = rowRight;
        break;
    case 2:
        lightRight = viewport()->width();
        break;
    default:
        break;
    }
    const QRect light = Span(lightLeft, lightRight, top, height);

    const QPalette& pal = palette();
    QColor text = pal.color(QPalette::Text);
    QColor back = pal.color(QPalette::Base);
    if (selectedLook) {
        text = pal.color(QPalette::HighlightedText);
        back = pal.color(QPalette::Highlight);
    }
    p.fillRect(light, back);

    const int firstRight = rowLeft + m_header->sectionSize(0);
    p.setClipRect(Span(rowLeft, firstRight, top, height));
    if (const unsigned number = (state & LVIS_STATEIMAGEMASK) >> 12; number && number <= m_stateImages.size())
        p.drawPixmap(rowLeft, top, m_stateImages[number - 1]);
    if (item.image >= 0 && static_cast<size_t>(item.image) < m_smallImages.size()) {
        const QPixmap& image = m_smallImages[static_cast<size_t>(item.image)];
        p.drawPixmap(iconLeft, top, selectedLook ? Blended(image, pal.color(QPalette::Highlight)) : image);
    }

    labelRight -= margin;
    labelLeft += margin / 2;
    p.setPen(text);
    p.drawText(Span(labelLeft, labelRight, top, height),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextDontClip,
               fm.elidedText(first, Qt::ElideRight, std::max(0, labelRight - labelLeft)));

    if (m_highlightMode == 0) {
        text = pal.color(QPalette::Text);
        back = pal.color(QPalette::Base);
    }
    rowRight = std::max(rowRight, lightRight);
    p.setClipRect(Span(rowLeft, rowRight, top, height));
    p.setPen(text);
    int cellLeft = firstRight;
    for (int column = 1; column < GetColumnCount(); ++column) {
        const int cellRight = cellLeft + m_header->sectionSize(column);
        const QRect cell = Span(cellLeft, cellRight, top, height);
        cellLeft = cellRight;
        if (m_highlightMode == 0)
            p.fillRect(cell, back);
        const QString& value =
            static_cast<size_t>(column) < item.texts.size() ? item.texts[static_cast<size_t>(column)] : QString();
        if (value.isEmpty())
            continue;
        const QRect inner = cell.adjusted(margin, 0, -margin, 0);
        const Qt::Alignment align = m_rows->Alignment(column) & Qt::AlignHorizontal_Mask;
        p.drawText(inner, align | Qt::AlignVCenter | Qt::TextSingleLine,
                   fm.elidedText(value, Qt::ElideRight, std::max(0, inner.width())));
    }

    if ((state & LVIS_FOCUSED) && hasFocus()) {
        p.setClipping(false);
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = light;
        focus.backgroundColor = back;
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
    p.restore();
}

void CListCtrlEx::focusInEvent(QFocusEvent* event)
{
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void CListCtrlEx::focusOutEvent(QFocusEvent* event)
{
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

void CListCtrlEx::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    // In mode 2 a row's highlight reaches past its last column.
    viewport()->update();
}

void CListCtrlEx::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    viewport()->update();
}
