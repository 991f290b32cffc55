#include "plot/ui/ListRows.h"

#include <algorithm>
#include <utility>

int CListRows::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CListRows::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant CListRows::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !IsRow(index.row()) || index.column() >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return At(index.row()).texts[static_cast<size_t>(index.column())];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Alignment(index.column()) | Qt::AlignVCenter);
    return {};
}

QVariant CListRows::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return m_columns[static_cast<size_t>(section)].heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Alignment(section) | Qt::AlignVCenter);
    return {};
}

int CListRows::InsertColumn(int column, const QString& heading, Qt::Alignment alignment)
{
    if (column < 0 || column > columnCount())
        return -1;
    beginInsertColumns({}, column, column);
    // A row always has the text of column 0, with or without the column.
    if (!m_columns.empty()) {
        for (Row& row : m_rows)
            row.texts.insert(row.texts.begin() + column, QString());
    }
    m_columns.insert(m_columns.begin() + column, Column{heading, alignment});
    endInsertColumns();
    return column;
}

Qt::Alignment CListRows::Alignment(int column) const
{
    if (column < 0 || column >= columnCount())
        return Qt::AlignLeft;
    return m_columns[static_cast<size_t>(column)].alignment;
}

int CListRows::InsertRow(int row, const QString& text)
{
    if (row < 0 || row > rowCount())
        return -1;
    Row added;
    added.texts.resize(std::max<size_t>(1, m_columns.size()));
    added.texts[0] = text;
    beginInsertRows({}, row, row);
    m_rows.insert(m_rows.begin() + row, std::move(added));
    endInsertRows();
    return row;
}

bool CListRows::RemoveRow(int row)
{
    if (!IsRow(row))
        return false;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    return true;
}

void CListRows::Clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void CListRows::Changed(int row)
{
    Q_EMIT dataChanged(index(row, 0), index(row, std::max(0, columnCount() - 1)));
}

void CListRows::Swap(int a, int b)
{
    std::swap(At(a), At(b));
    Changed(a);
    Changed(b);
}
