#include "datalog/DataListModel.h"

#include <QHash>
#include <algorithm>
#include <iterator>

int CDataListModel::ColumnWidth(int column)
{
    static const int widths[ColumnCount] = { 70, 150, 80, 80, 80, 60 };
    return column >= 0 && column < ColumnCount ? widths[column] : 0;
}

CDataListModel::CDataListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void CDataListModel::PushRows(int series, qint64 pos, qint32 count, datalog_text::Place place)
{
    if (!m_runs.empty()) {
        Run& last = m_runs.back();
        if (last.series == series && last.place == place && last.pos + last.count == pos) {
            last.count += count;
            m_nRows += count;
            return;
        }
    }
    m_runs.push_back(Run { pos, m_nRows, count, static_cast<qint8>(series), place });
    m_nRows += count;
}

void CDataListModel::ShowDocument(const CDataLog* log, datalog_text::Place place)
{
    beginResetModel();
    m_pLog = log;
    m_place = place;
    std::vector<Run>().swap(m_runs);
    std::vector<Appended>().swap(m_appended);
    m_nRows = 0;
    m_nShownPoints = 0;
    if (log) {
        const CDataSeries& s0 = log->m_arrSeries[0];
        const CDataSeries& s1 = log->m_arrSeries[1];
        // Series 1 grouped by sequence number, in file order within each number.
        QHash<qint32, std::vector<qint32>> stats;
        for (qsizetype j = 0; j < s1.Size(); ++j) {
            if (!s1.IsNull(j))
                stats[s1.Index(j)].push_back(static_cast<qint32>(j));
        }
        for (qsizetype i = 0; i < s0.Size(); ++i) {
            if (s0.IsNull(i))
                continue;
            PushRow(0, i, place);
            if (!stats.isEmpty()) {
                const auto it = stats.constFind(s0.Index(i));
                if (it != stats.constEnd()) {
                    for (qint32 j : *it)
                        PushRow(1, j, place);
                }
            }
        }
        m_nShownPoints = s0.Size();
    }
    endResetModel();
}

void CDataListModel::ShowAddedPoints()
{
    if (!m_pLog)
        return;
    const CDataSeries& s0 = m_pLog->m_arrSeries[0];
    // The stretches of points between null elements, each added as one run.
    std::vector<std::pair<qsizetype, qsizetype>> stretches;
    qsizetype added = 0;
    for (qsizetype i = m_nShownPoints; i < s0.Size();) {
        while (i < s0.Size() && s0.IsNull(i))
            ++i;
        const qsizetype from = i;
        while (i < s0.Size() && !s0.IsNull(i))
            ++i;
        if (i > from) {
            stretches.emplace_back(from, i - from);
            added += i - from;
        }
    }
    m_nShownPoints = s0.Size();
    if (added == 0)
        return;
    beginInsertRows(QModelIndex(), m_nRows, m_nRows + int(added) - 1);
    for (const auto& [from, count] : stretches)
        PushRows(0, from, qint32(count), m_place);
    endInsertRows();
}

int CDataListModel::AppendOne(int series, qint64 pos, datalog_text::Place place)
{
    const int row = m_nRows;
    beginInsertRows(QModelIndex(), row, row);
    PushRow(series, pos, place);
    endInsertRows();
    return row;
}

int CDataListModel::AppendRow(
    const QString& time, const QString& unit, double value, const QString& type, datalog_text::Place place)
{
    m_appended.push_back(Appended { time, unit, datalog_text::ValueText(value, place), type });
    return AppendOne(-1, static_cast<qint64>(m_appended.size() - 1), place);
}

int CDataListModel::AppendRowText(
    const QString& time, const QString& unit, const QString& valueText, const QString& type)
{
    m_appended.push_back(Appended { time, unit, valueText, type });
    return AppendOne(-1, static_cast<qint64>(m_appended.size() - 1), m_place);
}

int CDataListModel::AppendPoint(const CDataLog* log, int series, qsizetype point, datalog_text::Place place)
{
    if (!log || series < 0 || series >= CDataLog::kSeriesCount || point < 0)
        return -1;
    m_pLog = log;
    return AppendOne(series, point, place);
}

void CDataListModel::Clear() { ShowDocument(nullptr, m_place); }

QString CDataListModel::Text(int row, int column) const
{
    if (row < 0 || row >= m_nRows)
        return QString();
    if (column == ColId)
        return QString::asprintf("%d", row + 1);
    if (column == ColRemark)
        return QString();
    const auto it = std::upper_bound(
        m_runs.begin(), m_runs.end(), row, [](int r, const Run& run) { return r < run.row; });
    const Run& run = *std::prev(it);
    const qint64 pos = run.pos + (row - run.row);
    if (run.series < 0) {
        const Appended& a = m_appended[static_cast<size_t>(pos)];
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
    const CDataSeries& s = m_pLog->m_arrSeries[static_cast<size_t>(run.series)];
    // A document emptied while its view is still about (closing) has no rows to show.
    if (pos >= s.Size() || s.IsNull(pos))
        return QString();
    switch (column) {
    case ColTime: return s.DateTime(pos);
    case ColUnit: return s.Unit(pos);
    case ColValue: return datalog_text::ValueText(s.Value(pos), run.place);
    case ColType: return s.Type(pos);
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
    return parent.isValid() ? 0 : m_nRows;
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
