#pragma once
// The child window of one data-log document. Until the graph and list view exists it shows the
// document's summary and a data list, and takes part in recording as a view without a graph
// (no vertical range to keep).
#include "protocol/RecordingView.h"

#include <QMdiSubWindow>
#include <QPointer>

class CDocManager;
class CMyOrvelDoc;
class QPlainTextEdit;
class QTabWidget;
class QTreeWidget;

class CDocWindow : public QMdiSubWindow, public IRecordingView {
    Q_OBJECT
public:
    CDocWindow(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent = nullptr);

    CMyOrvelDoc* document() const;
    // Closes the window without asking the manager (the document is already closing).
    void CloseForDocument();
    // The summary text shown for a document.
    static QString SummaryText(const CMyOrvelDoc& doc);
    QTreeWidget* dataList() const { return m_pList; }

    // IRecordingView
    bool IsLiveView() const override { return m_bLiveView; }
    void SetLiveView(bool on) override { m_bLiveView = on; }
    bool IsSavedTarget() const override { return m_bSavedTarget; }
    void SetSavedTarget(bool on) override { m_bSavedTarget = on; }
    int ListRowCount() const override;
    void AddListRow(const RecordingListRow& row, bool scrollIntoView) override;
    void RefreshAfterLivePoint() override { }
    void InvalidateGraph() override { }
    bool IsAutoScale() const override { return false; }
    bool IsZoomedOrMoved() const override { return false; }
    void SetYRange(double, double) override { }

signals:
    // The window is closing while it records live: the recording must stop first.
    void liveViewClosing();

public slots:
    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<CMyOrvelDoc> m_pDoc;
    CDocManager* m_pManager;
    QTabWidget* m_pTabs;
    QPlainTextEdit* m_pText;
    QTreeWidget* m_pList;
    bool m_bDocumentClosing = false;
    bool m_bLiveView = true;
    bool m_bSavedTarget = false;
};
