// A report list that draws its rows itself, with three ways of showing a
// selected row: 0 only behind the first column's text, 1 across every
// column, 2 across the whole row up to the window's right edge. It can sort
// its rows by a column when its header is clicked and can let the user drag
// a column along its header (CHeaderCtrlEx); both are off until switched on.
#pragma once

#include "plot/ui/HeaderCtrlEx.h"

#include <QDateTime>
#include <QPixmap>
#include <QTreeView>

#include <cstdint>
#include <optional>
#include <vector>

class CListRows;

class CListCtrlEx : public QTreeView
{
public:
    // Row state bits.
    static constexpr unsigned LVIS_FOCUSED = 0x0001;
    static constexpr unsigned LVIS_SELECTED = 0x0002;
    static constexpr unsigned LVIS_CUT = 0x0004;
    static constexpr unsigned LVIS_DROPHILITED = 0x0008;
    static constexpr unsigned LVIS_OVERLAYMASK = 0x0F00;
    static constexpr unsigned LVIS_STATEIMAGEMASK = 0xF000;  // state image number from bit 12

    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // Answers the mode before; a mode above 2 is refused and changes nothing.
    int SetHighlightMode(int mode);
    int GetHighlightMode() const { return m_highlightMode; }
    // Selected rows keep their look while the list has no focus.
    void SetShowSelectionAlways(bool on);

    // -1 for a column outside 0..count.
    int InsertColumn(int column, const QString& heading, Qt::Alignment format, int width);
    int GetColumnCount() const;

    // The row where it went (a row beyond the end appends), -1 for a
    // negative one.
    int InsertItem(int row, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    // Empty for a row or column that does not exist.
    QString GetItemText(int row, int column) const;
    bool DeleteItem(int row);
    void DeleteAllItems();
    int GetItemCount() const;
    bool SetItemData(int row, std::uintptr_t data);
    std::uintptr_t GetItemData(int row) const;
    bool SetItemImage(int row, int image);
    int GetItemImage(int row) const;
    unsigned GetItemState(int row, unsigned mask) const;
    bool SetItemState(int row, unsigned state, unsigned mask);
    // The first selected row in list order, -1 when none is.
    int GetFirstSelected() const;

    // Image lists: row images by index, state images by number - 1.
    void SetSmallImages(std::vector<QPixmap> images);
    void SetStateImages(std::vector<QPixmap> images);

    // Sorting by header clicks.
    void SetSortEnabled(bool on) { m_sortEnabled = on; }
    bool IsSortEnabled() const { return m_sortEnabled; }
    // One type per column (listsort::kTextNoCase ... kNotSortable); other
    // values and columns beyond the list sort as text with case.
    void SetColumnTypes(std::vector<unsigned char> types) { m_columnTypes = std::move(types); }
    // Times before it count one day later; an invalid time means none.
    void SetReferenceTime(const QDateTime& time);
    int GetLastSortColumn() const { return m_lastSortColumn; }
    bool IsLastSortAscending() const { return m_lastSortAscending; }

    // Rows low..high (-1: the last row) by the texts of the column. False for
    // a column the header does not have or a range of fewer than two rows;
    // true without sorting for a column of type 4.
    bool Sort(int column, bool ascending, int low = 0, int high = -1);
    // Negative, 0 or positive, by the column's type.
    int CompareItems(const QString& a, const QString& b, int column) const;

    CHeaderCtrlEx* GetHeaderCtrl() const { return m_header; }

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    void DrawItem(QPainter& p, int row, int top, int height) const;
    void OnHeaderClick(int column);
    unsigned char ColumnType(int column) const;
    void SwapRows(int a, int b);

    CListRows* m_rows;
    CHeaderCtrlEx* m_header;
    int m_highlightMode = 0;
    bool m_showSelectionAlways = false;
    bool m_sortEnabled = false;
    std::vector<unsigned char> m_columnTypes;
    std::optional<double> m_reference;  // days since 30 December 1899
    int m_lastSortColumn = -1;
    bool m_lastSortAscending = true;
    std::vector<QPixmap> m_smallImages;
    std::vector<QPixmap> m_stateImages;
};
