#pragma once
// The main window's side of recording: the data-log windows of the open documents are the
// recording views, and new documents come from the document manager's New command.
//
// With several meters each has a host of its own: the documents it makes are marked as that
// meter's (and as made in the current recording group), and only they are its views, so no
// meter records into another's document. Documents without a mark (opened files, File New) are
// meter 1's, as they are with one meter.
#include "recording/RecordingView.h"

#include <QString>
#include <functional>

class CDocManager;
class QMdiArea;

class CWindowRecordingHost : public IRecordingHost {
public:
    // meter: the 0-based index of the meter whose documents these are. group: the recording group
    // new documents join (the documents of one Start share it). titleNote: text after a new
    // document's title ("Meter 2 (SimMeter)"), empty to leave the title as it is.
    CWindowRecordingHost(QMdiArea* area, CDocManager* manager, int meter = 0, std::function<int()> group = {},
        std::function<QString()> titleNote = {});

    std::vector<RecordingTarget> RecordingTargets() override;
    IRecordingView* OpenNewDocument() override;

    // The marks a document carries: its meter (0 when unmarked) and its recording group (0 when
    // it was made by no recording).
    static int MeterOf(const CMyOrvelDoc* doc);
    static int GroupOf(const CMyOrvelDoc* doc);

private:
    QMdiArea* m_pArea;
    CDocManager* m_pManager;
    int m_nMeter;
    std::function<int()> m_fnGroup;
    std::function<QString()> m_fnTitleNote;
};
