#include "datalog/DataListModel.h"

#include <QHash>

int CDataListModel::ColumnWidth(int column)
{
    static const int widths[ColumnCount] = { 70, 150, 80, 80, 80, 60 };
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

CDataListModel::CDataListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void CDataListModel::ShowDocument(const CDataLog* log, datalog_text::Place place)
{
    beginResetModel();
    m_pLog = log;
    m_place = place;
    m_rows.clear();
    m_appended.clear();
    if (log) {
        const CDataSeries& s0 = log->m_arrSeries[0];
        const CDataSeries& s1 = log->m_arrSeries[1];
        // Series 1 grouped by sequence number, in file order within each number.
        QHash<qint32, std::vector<qint32>> stats;
        for (qsizetype j = 0; j < s1.Size(); ++j) {
            if (!s1.IsNull(j))
                stats[s1.Index(j)].push_back(static_cast<qint32>(j));
        }
        m_rows.reserve(static_cast<size_t>(s0.Size() + s1.Size()));
        for (qsizetype i = 0; i < s0.Size(); ++i) {
            if (s0.IsNull(i))
                continue;
            m_rows.push_back(Ref { 0, static_cast<qint32>(i) });
            if (!stats.isEmpty()) {
                const auto it = stats.constFind(s0.Index(i));
                if (it != stats.constEnd()) {
                    for (qint32 j : *it)
                        m_rows.push_back(Ref { 1, j });
                }
            }
        }
    }
    endResetModel();
}

int CDataListModel::AppendRow(
    const QString& time, const QString& unit, double value, const QString& type, datalog_text::Place place)
{
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_appended.push_back(Appended { time, unit, datalog_text::ValueText(value, place), type });
    m_rows.push_back(Ref { -1, static_cast<qint32>(m_appended.size() - 1) });
    endInsertRows();
    return row;
}

int CDataListModel::AppendRowText(
    const QString& time, const QString& unit, const QString& valueText, const QString& type)
{
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_appended.push_back(Appended { time, unit, valueText, type });
    m_rows.push_back(Ref { -1, static_cast<qint32>(m_appended.size() - 1) });
    endInsertRows();
    return row;
}

void CDataListModel::Clear() { ShowDocument(nullptr, m_place); }

QString CDataListModel::Text(int row, int column) const
{
    if (row < 0 || static_cast<size_t>(row) >= m_rows.size())
        return QString();
    if (column == ColId)
        return QString::asprintf("%d", row + 1);
    if (column == ColRemark)
        return QString();
    const Ref r = m_rows[static_cast<size_t>(row)];
    if (r.series < 0) {
        const Appended& a = m_appended[static_cast<size_t>(r.pos)];
        switch (column) {
        case ColTime: return a.time;
        case ColUnit: return a.unit;
        case ColValue: return a.value;
        case ColType: return a.type;
        default: return QString();
        }
    }
    if (!m_pLog)
        return QString();
    const CDataSeries& s = m_pLog->m_arrSeries[static_cast<size_t>(r.series)];
    // A document emptied while its view is still about (closing) has no rows to show.
    if (r.pos >= s.Size() || s.IsNull(r.pos))
        return QString();
    switch (column) {
    case ColTime: return s.DateTime(r.pos);
    case ColUnit: return s.Unit(r.pos);
    case ColValue: return datalog_text::ValueText(s.Value(r.pos), m_place);
    case ColType: return s.Type(r.pos);
    default: return QString();
    }
}

QStringList CDataListModel::RowTexts(int row) const
{
    QStringList texts;
    for (int c = 0; c < ColumnCount; ++c)
        texts << Text(row, c);
    return texts;
}

int CDataListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CDataListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant CDataListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QVariant();
    return Text(index.row(), index.column());
}

QVariant CDataListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char* const names[ColumnCount] = { "ID", "Data Time", "Unit", "Value", "Type", "Remark" };
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
