#include "datalog/ExportJob.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
// A slice is about 30 ms of formatting, the clock read every kBatch readings (a workbook row
// costs several times a text line); tests set a fixed number of readings instead.
constexpr qint64 kSliceMs = 30;
constexpr qsizetype kBatch = 256;
qsizetype g_slice = 0;
} // namespace

CExportJob::CExportJob(
    const QString& path, const CDataLog& log, const QObject* owner, datalog_export::Format format, QObject* parent)
    : QObject(parent)
    , m_path(path)
    , m_log(log)
    , m_owner(owner)
    , m_format(format)
{
}

CExportJob::~CExportJob()
{
    if (m_worker) {
        m_stop = true;
        m_worker->wait();
        delete m_worker;
    }
    // an unfinished file is dropped with m_file
}

void CExportJob::SetSliceForTesting(qsizetype points) { g_slice = points > 0 ? points : 0; }

bool CExportJob::Start(QString* message)
{
    if (m_file)
        return true;
    m_file = datalog_export::CExportFile::Open(m_path, m_log, m_format, message);
    if (!m_file)
        return false;
    QTimer::singleShot(0, this, &CExportJob::Step);
    return true;
}

void CExportJob::Cancel()
{
    if (!m_file)
        return;
    if (m_worker) {
        m_stop = true; // Committed ends it
        return;
    }
    End(false, QString());
}

void CExportJob::Step()
{
    if (!m_file)
        return; // cancelled
    if (!m_owner) {
        End(false, QStringLiteral("The export stopped: its document was closed."));
        return;
    }
    bool ok = true;
    if (g_slice > 0) {
        ok = m_file->Step(g_slice);
    } else {
        QElapsedTimer t;
        t.start();
        do
            ok = m_file->Step(kBatch);
        while (ok && !m_file->AtEnd() && t.elapsed() < kSliceMs);
    }
    if (ok && !m_file->AtEnd()) {
        emit progress(m_file->Done(), m_file->Total());
        QTimer::singleShot(0, this, &CExportJob::Step);
        return;
    }
    QString message;
    if (!m_file->Complete(&message)) {
        End(false, message);
        return;
    }
    emit progress(m_file->Total(), m_file->Total());
    m_worker = QThread::create([this] { m_committed = m_file->Commit(&m_message, &m_stop); });
    connect(m_worker, &QThread::finished, this, &CExportJob::Committed);
    m_worker->start();
}

void CExportJob::Committed()
{
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    // Stopped too late, the file is in place all the same: say so.
    End(m_committed, m_committed || m_stop ? QString() : m_message);
}

void CExportJob::End(bool ok, const QString& message)
{
    if (ok)
        emit progress(m_file->Total(), m_file->Total());
    m_file.reset(); // an unfinished file is dropped here
    emit finished(ok, message);
}
