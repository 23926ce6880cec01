#pragma once
// The rows of a data-log view's "Data List": "ID", "Data Time", "Unit", "Value", "Type", "Remark".
//
// Rows are read from the document when shown, for a loaded file, a download and a recording
// alike: the model keeps only runs of rows that show consecutive points of one series, so ten
// million recorded readings cost a few bytes, not a copy of their texts. Rows that show no point
// (the marker of a lost link) carry their own texts. Null elements of a series are never listed
// by ShowDocument. Core code: QtCore's item model only.
#include "datalog/DataLog.h"
#include "datalog/DataLogText.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <vector>

class CDataListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColId, ColTime, ColUnit, ColValue, ColType, ColRemark, ColumnCount };
    // Widths in pixels: 70, 150, 80, 80, 80, 60.
    static int ColumnWidth(int column);

    explicit CDataListModel(QObject* parent = nullptr);

    // Every point of series 0 of `log`, each followed by the points of series 1 that carry its
    // sequence number; values follow `place` (LoadedList or DownloadedList). `log` must outlive
    // the rows (they are dropped by Clear or the next call).
    void ShowDocument(const CDataLog* log, datalog_text::Place place);
    // Appends the rows of the points of series 0 added to the shown document since ShowDocument
    // or the last call, for a document whose series 1 is empty (a file being read: its series 1
    // comes after series 0).
    void ShowAddedPoints();
    // Appends one row (the recording paths): number = row count + 1, the value text by `place`
    // (LiveList or SavedList). Returns the new row.
    int AppendRow(const QString& time, const QString& unit, double value, const QString& type,
        datalog_text::Place place);
    // The same with the value already written as the recording paths show it.
    int AppendRowText(const QString& time, const QString& unit, const QString& valueText, const QString& type);
    // Appends one row showing point `point` of series `series` of `log` (the recording paths; the
    // value text by `place`). `log` must outlive the rows, as for ShowDocument. Returns the row.
    int AppendPoint(const CDataLog* log, int series, qsizetype point, datalog_text::Place place);
    void Clear();

    // The five shown texts and an empty remark of `row`.
    QStringList RowTexts(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    // Rows row .. row + count - 1 show points pos .. pos + count - 1 of one series of the
    // document, or (series -1) the appended texts at those indices.
    struct Run {
        qint64 pos;
        qint32 row;
        qint32 count;
        qint8 series;
        datalog_text::Place place;
    };
    struct Appended {
        QString time, unit, value, type;
    };
    QString Text(int row, int column) const;
    // Adds `count` rows showing points pos .. pos + count - 1 at the end of the runs (extending the
    // last when it continues it).
    void PushRows(int series, qint64 pos, qint32 count, datalog_text::Place place);
    void PushRow(int series, qint64 pos, datalog_text::Place place) { PushRows(series, pos, 1, place); }
    int AppendOne(int series, qint64 pos, datalog_text::Place place);

    const CDataLog* m_pLog = nullptr;
    qsizetype m_nShownPoints = 0; // points of series 0 ShowDocument and ShowAddedPoints went through
    datalog_text::Place m_place = datalog_text::Place::LoadedList;
    std::vector<Run> m_runs;
    int m_nRows = 0;
    std::vector<Appended> m_appended;
};
