#pragma once
// An export of a data-log document that runs on the GUI thread a slice of readings at a time,
// returning to the event loop between slices, so the window stays usable, shows progress and
// can stop it. Documents are only touched on the GUI thread: nothing is copied, the export
// reads the document in place. Only the last step, which packs a workbook and puts the file in
// place, runs on a worker thread: it no longer reads the document. Stopped or failed, it leaves
// no file and the target as it was.
#include "datalog/DataLogExport.h"

#include <QObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <memory>

class CExportJob : public QObject {
    Q_OBJECT
public:
    // `log` lives in `owner`; the export stops when the owner goes away.
    CExportJob(const QString& path, const CDataLog& log, const QObject* owner, datalog_export::Format format,
        QObject* parent = nullptr);
    // The job reads the document for as long as it runs: never a temporary.
    CExportJob(const QString&, CDataLog&&, const QObject*, datalog_export::Format, QObject* = nullptr) = delete;
    ~CExportJob() override;

    // Opens the target and schedules the first slice. False with a one-line `message` when the
    // target cannot be written or there is nothing to export (then nothing runs).
    bool Start(QString* message = nullptr);
    // Stops at once: the target stays as it was; finished(false, "") follows.
    void Cancel();
    bool IsRunning() const { return m_file != nullptr; }

    // A fixed number of readings per slice (tests; 0 restores slices of about 30 ms).
    static void SetSliceForTesting(qsizetype points);

signals:
    void progress(qsizetype done, qsizetype total);
    // Emitted once, after the file is in place (ok) or dropped; the message is empty when the
    // user stopped it.
    void finished(bool ok, const QString& message);

private:
    void Step();
    void Committed();
    void End(bool ok, const QString& message);

    QString m_path;
    const CDataLog& m_log;
    QPointer<const QObject> m_owner;
    datalog_export::Format m_format;
    std::unique_ptr<datalog_export::CExportFile> m_file;
    QThread* m_worker = nullptr;
    std::atomic<bool> m_stop { false };
    bool m_committed = false;
    QString m_message;
};
