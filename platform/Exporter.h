#pragma once
// One export or printout to a file, whatever its format: written a slice at a time (the window
// shows progress and may stop between slices), then put in place of its target only when whole.
// Each format has one implementation behind this face; a caller picks it by the format it
// wants (datalog_export::CExportFile::Open for a data-log document, osc::OpenSheetExport for an
// oscilloscope record, CPrintout for the printed pages) and drives it through here alone.
#include <QString>
#include <algorithm>
#include <atomic>

class IExporter {
public:
    virtual ~IExporter() = default; // an unfinished export leaves the target as it was
    // Writes up to `units` more (readings, cells, pages); false on failure (Finish then says why).
    // Done and Total say how far it is, for a progress bar.
    virtual bool Step(qsizetype units) = 0;
    virtual bool AtEnd() const = 0;
    virtual qsizetype Done() const = 0;
    virtual qsizetype Total() const = 0;
    // After the last Step, on the thread that reads the source: hands on the last bytes. False
    // with `message` (and the file dropped) when something failed or the source changed under
    // the export.
    virtual bool Complete(QString* message = nullptr) = 0;
    // Then puts the file in place of the target. Reads nothing of the source, so it may run on
    // a worker thread; `stop` set meanwhile leaves the target as it was.
    virtual bool Commit(QString* message = nullptr, const std::atomic<bool>* stop = nullptr) = 0;
    // Both.
    bool Finish(QString* message = nullptr) { return Complete(message) && Commit(message); }
    // The whole export in one go.
    bool Run(QString* message = nullptr)
    {
        while (Step(std::max<qsizetype>(1, Total() - Done())) && !AtEnd()) { }
        return Finish(message);
    }
};
