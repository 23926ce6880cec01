#pragma once
// The child window of one data-log document. Until the graph and list view exists it shows the
// document's summary: what it holds, its time span and its statistics.
#include <QMdiSubWindow>
#include <QPointer>

class CDocManager;
class CMyOrvelDoc;
class QPlainTextEdit;

class CDocWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    CDocWindow(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent = nullptr);

    CMyOrvelDoc* document() const;
    // Closes the window without asking the manager (the document is already closing).
    void CloseForDocument();
    // The summary text shown for a document.
    static QString SummaryText(const CMyOrvelDoc& doc);

public slots:
    void Refresh();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPointer<CMyOrvelDoc> m_pDoc;
    CDocManager* m_pManager;
    QPlainTextEdit* m_pText;
    bool m_bDocumentClosing = false;
};
