#pragma once
// What the recording of readings needs of a data-log view and of the window that makes
// documents. The recording rules (CRecorder) reach views and documents only through these two
// interfaces, so they run without widgets: the data-log view implements IRecordingView, the
// main window (or the command-line tool) implements IRecordingHost. Everything here is called
// on the GUI thread.
#include <QString>
#include <vector>

class CMyOrvelDoc;

// One row of a view's data list: five texts, in column order.
struct RecordingListRow {
    QString number; // "%d": the list's row count + 1
    QString time; // time text of the point
    QString unit;
    QString value; // "%.4f"; "OL" for an over-range live reading
    QString label; // function name or the word of a statistic
    // The document point the row shows (series 0..2, position in it), or -1 when the row shows
    // none (the marker of a lost link). A view may show such a row from the document rather than
    // keep its texts: the point holds the same time, unit and label, and its value gives the
    // value text again (as the live list writes it when `live`, else as the saved list does).
    int series = -1;
    qint64 point = -1;
    bool live = true;
};

class IRecordingView {
public:
    virtual ~IRecordingView() = default;

    // Recording roles. A new view is a live-recording target and not a saved-readings target.
    virtual bool IsLiveView() const = 0;
    virtual void SetLiveView(bool on) = 0;
    virtual bool IsSavedTarget() const = 0;
    virtual void SetSavedTarget(bool on) = 0;

    // Rows in the data list, and a new one at its end (scrolled into view when asked).
    virtual int ListRowCount() const = 0;
    virtual void AddListRow(const RecordingListRow& row, bool scrollIntoView) = 0;

    // A live point was added to the document: the scroll bars follow the graph's state and the
    // trend graph draws its newest segment (or repaints when that segment does not fit).
    virtual void RefreshAfterLivePoint() = 0;
    // A saved reading was stored: the trend graph repaints whole and the summary follows.
    virtual void InvalidateGraph() = 0;

    // Vertical range of the trend graph: follows the data while automatic scaling is on and the
    // user has neither zoomed nor moved the graph.
    virtual bool IsAutoScale() const = 0;
    virtual bool IsZoomedOrMoved() const = 0;
    virtual void SetYRange(double max, double min) = 0;
};

struct RecordingTarget {
    CMyOrvelDoc* doc = nullptr;
    IRecordingView* view = nullptr;
};

class IRecordingHost {
public:
    virtual ~IRecordingHost() = default;
    // Every view of every open data-log document, in the order the documents were opened.
    virtual std::vector<RecordingTarget> RecordingTargets() = 0;
    // Opens a new data-log document with its view, shown, as the File New command does, and
    // returns the view (with the roles of a new view); null when none could be made.
    virtual IRecordingView* OpenNewDocument() = 0;
};
