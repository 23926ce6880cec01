#pragma once
// The child window of one data-log document: holds its view, always maximised, and makes the
// view the active data-log view when it is activated. Closing it closes the document (after the
// "save changes?" question); closing a view that records asks for Stop first.
#include <QMdiSubWindow>
#include <QPointer>

class CDocManager;
class CMyOrvelDoc;
class CMyOrvelView;

class CChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CChildFrame(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent = nullptr);

    CMyOrvelDoc* document() const;
    CMyOrvelView* view() const { return m_pView; }
    // Closes the window without asking the manager (the document is already closing).
    void CloseForDocument();
    // Called when the MDI area activates this window.
    void OnActivated();

signals:
    // The view is a live-recording target and its window is closing: stop the recording.
    void stopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private slots:
    void Refresh();

private:
    bool IsActiveWindow() const;
    // Maximises the window once control returns to the event loop, if it is still the active one.
    void KeepMaximized();

    QPointer<CMyOrvelDoc> m_pDoc;
    CDocManager* m_pManager;
    CMyOrvelView* m_pView;
    bool m_bDocumentClosing = false;
};
