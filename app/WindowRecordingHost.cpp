#include "app/WindowRecordingHost.h"

#include "app/DocManager.h"
#include "app/ChildFrame.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"

#include <QMdiArea>
#include <QMdiSubWindow>

CWindowRecordingHost::CWindowRecordingHost(QMdiArea* area, CDocManager* manager)
    : m_pArea(area)
    , m_pManager(manager)
{
}

std::vector<RecordingTarget> CWindowRecordingHost::RecordingTargets()
{
    std::vector<RecordingTarget> out;
    for (QMdiSubWindow* w : m_pArea->subWindowList(QMdiArea::CreationOrder)) {
        auto* window = qobject_cast<CChildFrame*>(w);
        // A window whose document is closing is no target any more.
        if (window && window->document() && m_pManager->Documents().contains(window->document()))
            out.push_back({ window->document(), window->view() });
    }
    return out;
}

IRecordingView* CWindowRecordingHost::OpenNewDocument()
{
    // The manager's New shows the document's window before it returns.
    CMyOrvelDoc* doc = m_pManager->OnFileNew();
    if (!doc)
        return nullptr;
    for (QMdiSubWindow* w : m_pArea->subWindowList()) {
        auto* window = qobject_cast<CChildFrame*>(w);
        if (window && window->document() == doc)
            return window->view();
    }
    return nullptr;
}
