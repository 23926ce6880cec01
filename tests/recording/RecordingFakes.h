#pragma once
// A data-log view and a document-making window without widgets, for the recording tests: they
// keep what they were asked to show.
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingView.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

class FakeView : public IRecordingView {
public:
    bool live = true;
    bool saved = false;
    bool autoScale = true;
    bool zoomed = false;
    std::vector<RecordingListRow> rows;
    std::vector<bool> scrolled;
    int refreshes = 0;
    int invalidations = 0;
    size_t rowsWhenInvalidated = 0; // list rows at the last repaint: what the summary showed
    std::optional<std::pair<double, double>> yRange;

    bool IsLiveView() const override { return live; }
    void SetLiveView(bool on) override { live = on; }
    bool IsSavedTarget() const override { return saved; }
    void SetSavedTarget(bool on) override { saved = on; }
    int ListRowCount() const override { return int(rows.size()); }
    void AddListRow(const RecordingListRow& row, bool scroll) override
    {
        rows.push_back(row);
        scrolled.push_back(scroll);
    }
    void RefreshAfterLivePoint() override { ++refreshes; }
    void InvalidateGraph() override
    {
        ++invalidations;
        rowsWhenInvalidated = rows.size();
    }
    bool IsAutoScale() const override { return autoScale; }
    bool IsZoomedOrMoved() const override { return zoomed; }
    void SetYRange(double max, double min) override { yRange = std::make_pair(max, min); }
};

class FakeHost : public IRecordingHost {
public:
    struct Entry {
        std::unique_ptr<CMyOrvelDoc> doc;
        std::unique_ptr<FakeView> view;
    };
    std::vector<Entry> open;
    bool canCreate = true;
    int creations = 0;

    std::vector<RecordingTarget> RecordingTargets() override
    {
        std::vector<RecordingTarget> out;
        for (Entry& e : open)
            out.push_back({ e.doc.get(), e.view.get() });
        return out;
    }
    IRecordingView* OpenNewDocument() override
    {
        ++creations;
        if (!canCreate)
            return nullptr;
        open.push_back({ std::make_unique<CMyOrvelDoc>(), std::make_unique<FakeView>() });
        return open.back().view.get();
    }
    CMyOrvelDoc& Doc(size_t i) { return *open.at(i).doc; }
    FakeView& View(size_t i) { return *open.at(i).view; }
    void Close(size_t i) { open.erase(open.begin() + long(i)); }
};
