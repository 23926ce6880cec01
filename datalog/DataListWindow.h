#pragma once
// The rows of a data list the table shows: a page of the full list (CDataListModel) from row
// First() on. A table keeps a record for every row its model has (its row header), and finding
// where a row sits walks all of them; a table of ten million rows would cost memory per row and
// time per reading. The table is given this page of a few dozen rows instead, and a scroll bar
// of the view moves the page. While the page shows the end of the list it keeps showing the end
// as rows are appended. Core code: QtCore's item model only.
#include <QAbstractTableModel>
#include <QPointer>

class CDataListModel;

class CDataListWindow : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CDataListWindow(CDataListModel* source, QObject* parent = nullptr);

    // Rows a page holds (at least 1).
    void SetPageRows(int rows);
    int PageRows() const { return m_nPage; }
    // The first row of the full list on the page, from 0 to LastFirst().
    int First() const { return m_nFirst; }
    int LastFirst() const;
    void SetFirst(int first);
    // Moves the page the least so that row `row` of the full list is on it.
    void ShowRow(int row);
    // Row of the full list shown in row `row` of the page.
    int SourceRow(int row) const { return m_nFirst + row; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // The page moved or the list's length changed: scroll bars follow.
    void pageChanged();
    // Rows were appended while the page showed the end: it moved up by `rows` (fewer than a
    // page), and only the rows now at its bottom changed. The table may move its pixels up by
    // that many rows instead of painting the whole page again.
    void pageScrolled(int rows);

private:
    int Total() const;
    void OnRowsInserted(int first, int last);
    void OnReset();
    void Refill(int oldCount);

    QPointer<CDataListModel> m_pSource;
    int m_nPage = 1;
    int m_nFirst = 0;
    int m_nShown = 0; // rows the page reports
};
