#include "app/WindowRecordingHost.h"

#include "app/DocManager.h"
#include "app/ChildFrame.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/MyOrvelView.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QVariant>

namespace {
const char kMeterProperty[] = "recordingMeter";
const char kGroupProperty[] = "recordingGroup";
} // namespace

CWindowRecordingHost::CWindowRecordingHost(QMdiArea* area, CDocManager* manager, int meter,
    std::function<int()> group, std::function<QString()> titleNote)
    : m_pArea(area)
    , m_pManager(manager)
    , m_nMeter(meter)
    , m_fnGroup(std::move(group))
    , m_fnTitleNote(std::move(titleNote))
{
}

int CWindowRecordingHost::MeterOf(const CMyOrvelDoc* doc)
{
    return doc ? doc->property(kMeterProperty).toInt() : 0;
}

int CWindowRecordingHost::GroupOf(const CMyOrvelDoc* doc)
{
    return doc ? doc->property(kGroupProperty).toInt() : 0;
}

std::vector<RecordingTarget> CWindowRecordingHost::RecordingTargets()
{
    std::vector<RecordingTarget> out;
    for (QMdiSubWindow* w : m_pArea->subWindowList(QMdiArea::CreationOrder)) {
        auto* window = qobject_cast<CChildFrame*>(w);
        // A window whose document is closing is no target any more; another meter's document
        // is none of this meter's.
        if (window && window->document() && m_pManager->Documents().contains(window->document())
            && MeterOf(window->document()) == m_nMeter)
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
    doc->setProperty(kMeterProperty, m_nMeter);
    if (m_fnGroup)
        doc->setProperty(kGroupProperty, m_fnGroup());
    const QString note = m_fnTitleNote ? m_fnTitleNote() : QString();
    if (!note.isEmpty())
        doc->SetTitle(doc->GetTitle() + QStringLiteral(" - ") + note);
    for (QMdiSubWindow* w : m_pArea->subWindowList()) {
        auto* window = qobject_cast<CChildFrame*>(w);
        if (window && window->document() == doc)
            return window->view();
    }
    return nullptr;
}
