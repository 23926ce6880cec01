#pragma once
// The "Logger List" page of the docking pane: one row per downloaded record with the columns
// "Funtion", "Record Time", "Data Points", "SampleRate(sec.)" and "Record Address". Activating a
// row asks for that record to be shown.
#include "logger/LoggerFrames.h"

#include <QDialog>
#include <QWidget>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

class CLoggerList : public QWidget {
    Q_OBJECT
public:
    explicit CLoggerList(QWidget* parent = nullptr);

    static QStringList ColumnTitles();

    void Clear();
    void AddRecord(const LoggerListData& entry);
    int RowCount() const;
    QTreeWidget* Tree() const { return m_pTree; }

signals:
    // The record address in the activated row's "Record Address" column (message 0x47A).
    void recordActivated(int address);

private:
    void OnActivated(QTreeWidgetItem* item);

    QTreeWidget* m_pTree;
};

// The modal chooser of a record: the same five columns; OK says "Please select an item!" while
// no row is chosen, otherwise it closes and SelectedAddress() gives the row's record address.

class CDataLogSheet : public QDialog {
    Q_OBJECT
public:
    CDataLogSheet(const std::vector<LoggerListData>& entries, QWidget* parent = nullptr);
    int SelectedAddress() const { return m_nAddress; }
    QTreeWidget* Tree() const { return m_pTree; }

    void accept() override;

private:
    QTreeWidget* m_pTree;
    int m_nAddress = -1;
};
