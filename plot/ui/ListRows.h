// The rows of a CListCtrlEx: per row the texts of its columns, its image, the
// state bits the selection does not carry and its item data; per column the
// heading and the alignment. The list draws the rows itself; the model gives
// the tree view its row count, the header its headings and the selection
// model its indexes.
#pragma once

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <vector>

class CListRows : public QAbstractTableModel
{
public:
    struct Row
    {
        std::vector<QString> texts;  // one per column, at least one
        int image = 0;
        unsigned state = 0;  // without the selected and focused bits
        std::uintptr_t data = 0;
    };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // -1 for a column outside 0..count.
    int InsertColumn(int column, const QString& heading, Qt::Alignment alignment);
    Qt::Alignment Alignment(int column) const;

    // -1 for a row outside 0..count.
    int InsertRow(int row, const QString& text);
    bool RemoveRow(int row);
    void Clear();
    bool IsRow(int row) const { return row >= 0 && row < static_cast<int>(m_rows.size()); }
    // Callers check the row first.
    const Row& At(int row) const { return m_rows[static_cast<size_t>(row)]; }
    Row& At(int row) { return m_rows[static_cast<size_t>(row)]; }
    // Tells the view that a row's contents changed.
    void Changed(int row);
    void Swap(int a, int b);

private:
    struct Column
    {
        QString heading;
        Qt::Alignment alignment;
    };

    std::vector<Row> m_rows;
    std::vector<Column> m_columns;
};
