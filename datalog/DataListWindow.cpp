#include "datalog/DataListWindow.h"

#include "datalog/DataListModel.h"

#include <algorithm>

CDataListWindow::CDataListWindow(CDataListModel* source, QObject* parent)
    : QAbstractTableModel(parent)
    , m_pSource(source)
{
    if (!source)
        return;
    connect(source, &QAbstractItemModel::rowsInserted, this,
        [this](const QModelIndex&, int first, int last) { OnRowsInserted(first, last); });
    connect(source, &QAbstractItemModel::modelReset, this, &CDataListWindow::OnReset);
    // Rows are only ever appended or the whole list replaced; anything else starts over.
    connect(source, &QAbstractItemModel::rowsRemoved, this, &CDataListWindow::OnReset);
    connect(source, &QAbstractItemModel::dataChanged, this, [this] { Refill(m_nShown); });
    m_nShown = std::min(m_nPage, Total());
}

int CDataListWindow::Total() const { return m_pSource ? m_pSource->rowCount() : 0; }

int CDataListWindow::LastFirst() const { return std::max(0, Total() - m_nPage); }

void CDataListWindow::Refill(int oldCount)
{
    const int count = std::min(m_nPage, Total() - m_nFirst);
    if (count > oldCount) {
        beginInsertRows(QModelIndex(), oldCount, count - 1);
        m_nShown = count;
        endInsertRows();
    } else if (count < oldCount) {
        beginRemoveRows(QModelIndex(), count, oldCount - 1);
        m_nShown = count;
        endRemoveRows();
    }
    if (m_nShown > 0)
        emit dataChanged(index(0, 0), index(m_nShown - 1, columnCount() - 1));
    emit pageChanged();
}

void CDataListWindow::OnRowsInserted(int first, int last)
{
    const int added = last - first + 1;
    const int oldFirst = m_nFirst;
    const bool atEnd = m_nFirst >= std::max(0, Total() - added - m_nPage);
    if (atEnd)
        m_nFirst = LastFirst();
    const int shift = m_nFirst - oldFirst;
    if (m_nShown == m_nPage && shift < m_nPage) {
        // A full page: the rows it keeps show the same texts; only new rows at its bottom change.
        if (shift > 0) {
            emit pageScrolled(shift);
            // Cell by cell: a table repaints only a changed cell's own rectangle, but its whole
            // viewport for a range of them.
            for (int row = m_nPage - shift; row < m_nPage; ++row) {
                for (int column = 0; column < columnCount(); ++column)
                    emit dataChanged(index(row, column), index(row, column));
            }
        }
        emit pageChanged();
        return;
    }
    Refill(m_nShown);
}

void CDataListWindow::OnReset()
{
    beginResetModel();
    m_nFirst = 0;
    m_nShown = std::min(m_nPage, Total());
    endResetModel();
    emit pageChanged();
}

void CDataListWindow::SetPageRows(int rows)
{
    rows = std::max(1, rows);
    if (rows == m_nPage)
        return;
    const bool atEnd = m_nFirst > 0 && m_nFirst >= LastFirst();
    beginResetModel();
    m_nPage = rows;
    m_nFirst = atEnd ? LastFirst() : std::min(m_nFirst, LastFirst());
    m_nShown = std::min(m_nPage, Total() - m_nFirst);
    endResetModel();
    emit pageChanged();
}

void CDataListWindow::SetFirst(int first)
{
    first = std::clamp(first, 0, LastFirst());
    if (first == m_nFirst)
        return;
    m_nFirst = first;
    Refill(m_nShown);
}

void CDataListWindow::ShowRow(int row)
{
    if (row < m_nFirst)
        SetFirst(row);
    else if (row >= m_nFirst + m_nPage)
        SetFirst(row - m_nPage + 1);
}

int CDataListWindow::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_nShown; }

int CDataListWindow::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_pSource ? 0 : m_pSource->columnCount();
}

QVariant CDataListWindow::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !m_pSource || index.row() >= m_nShown)
        return QVariant();
    return m_pSource->data(m_pSource->index(SourceRow(index.row()), index.column()), role);
}

QVariant CDataListWindow::headerData(int section, Qt::Orientation orientation, int role) const
{
    return m_pSource ? m_pSource->headerData(section, orientation, role) : QVariant();
}
