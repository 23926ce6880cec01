#include "app/ChildFrame.h"

#include "app/DocManager.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"

#include <QCloseEvent>
#include <QMdiArea>
#include <QTimer>

CChildFrame::CChildFrame(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_pDoc(doc)
    , m_pManager(manager)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_pView = new CMyOrvelView(doc, this);
    setWidget(m_pView);
    if (doc) {
        connect(doc, &CMyOrvelDoc::titleChanged, this, &CChildFrame::Refresh);
        connect(doc, &CMyOrvelDoc::modifiedChanged, this, &CChildFrame::Refresh);
    }
    Refresh();
}

CMyOrvelDoc* CChildFrame::document() const { return m_pDoc.data(); }

void CChildFrame::Refresh()
{
    if (m_pDoc)
        setWindowTitle(m_pDoc->GetTitle() + (m_pDoc->IsModified() ? QStringLiteral(" *") : QString()));
}

void CChildFrame::OnActivated()
{
    CMyOrvelView::SetActive(m_pView);
    KeepMaximized();
}

bool CChildFrame::IsActiveWindow() const
{
    const QMdiArea* area = mdiArea();
    return area && area->activeSubWindow() == this;
}

void CChildFrame::KeepMaximized()
{
    // Only the active window is put back. The area restores the window it deactivates when it
    // maximises the next one; maximising that one again would activate it, which restores the
    // other, and the two would take turns for ever.
    QTimer::singleShot(0, this, [this] {
        if (IsActiveWindow() && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)))
            showMaximized();
    });
}

void CChildFrame::changeEvent(QEvent* event)
{
    QMdiSubWindow::changeEvent(event);
    // Always maximised: any other state of the active window is put back once the change is done.
    if (event->type() == QEvent::WindowStateChange && !(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
        && IsActiveWindow())
        KeepMaximized();
}

void CChildFrame::CloseForDocument()
{
    m_bDocumentClosing = true;
    close();
}

void CChildFrame::closeEvent(QCloseEvent* event)
{
    if (!m_bDocumentClosing && m_pDoc && m_pManager && m_pManager->Documents().contains(m_pDoc)) {
        m_bDocumentClosing = true;
        if (!m_pManager->CloseDocument(m_pDoc, true)) {
            m_bDocumentClosing = false;
            event->ignore();
            return;
        }
    }
    if (m_pView->m_bLiveView)
        emit stopRequested();
    if (CMyOrvelView::Active() == m_pView)
        CMyOrvelView::SetActive(nullptr);
    QMdiSubWindow::closeEvent(event);
}
