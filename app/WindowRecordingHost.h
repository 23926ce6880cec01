#pragma once
// The main window's side of recording: the data-log windows of the open documents are the
// recording views, and new documents come from the document manager's New command.
#include "recording/RecordingView.h"

class CDocManager;
class QMdiArea;

class CWindowRecordingHost : public IRecordingHost {
public:
    CWindowRecordingHost(QMdiArea* area, CDocManager* manager);

    std::vector<RecordingTarget> RecordingTargets() override;
    IRecordingView* OpenNewDocument() override;

private:
    QMdiArea* m_pArea;
    CDocManager* m_pManager;
};
