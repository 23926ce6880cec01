#pragma once
// The rows of a data-log view's "Data List": "ID", "Data Time", "Unit", "Value", "Type", "Remark".
//
// Rows of a loaded file or a download are read from the document when shown (a million-point
// file costs one small index per row); rows appended while recording carry their own texts.
// Null elements of a series are never listed. Core code: QtCore's item model only.
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
    // Appends one row (the recording paths): number = row count + 1, the value text by `place`
    // (LiveList or SavedList). Returns the new row.
    int AppendRow(const QString& time, const QString& unit, double value, const QString& type,
        datalog_text::Place place);
    // The same with the value already written as the recording paths show it.
    int AppendRowText(const QString& time, const QString& unit, const QString& valueText, const QString& type);
    void Clear();

    // The five shown texts and an empty remark of `row`.
    QStringList RowTexts(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Ref {
        qint32 series; // 0 or 1 of the document, -1 for an appended row
        qint32 pos; // position in that series, or index into m_appended
    };
    struct Appended {
        QString time, unit, value, type;
    };
    QString Text(int row, int column) const;

    const CDataLog* m_pLog = nullptr;
    datalog_text::Place m_place = datalog_text::Place::LoadedList;
    std::vector<Ref> m_rows;
    std::vector<Appended> m_appended;
};
