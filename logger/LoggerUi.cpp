#include "logger/LoggerUi.h"

#include "datalog/MyOrvelDoc.h"
#include "platform/MessageBox.h"
#include "logger/LoggerList.h"
#include "logger/LoggerProgressDlg.h"

#include <QTimer>
#include <QWidget>

CLoggerUi::CLoggerUi(CLoggerDownload* download, QWidget* frame, Callbacks callbacks)
    : QObject(frame)
    , m_pDownload(download)
    , m_pFrame(frame)
    , m_callbacks(std::move(callbacks))
    , m_pList(new CLoggerList)
{
    connect(download, &CLoggerDownload::listCleared, m_pList, &CLoggerList::Clear);
    connect(download, &CLoggerDownload::recordCompleted, m_pList,
        [this](const LoggerRecord& r) { m_pList->AddRecord(r.entry); });
    connect(m_pList, &CLoggerList::recordActivated, download, &CLoggerDownload::ShowRecord);
    connect(download, &CLoggerDownload::showRecord, this, &CLoggerUi::ShowRecord);
    connect(download, &CLoggerDownload::progressChanged, this, &CLoggerUi::OnProgress);
    connect(download, &CLoggerDownload::finished, this, &CLoggerUi::OnFinished);
    connect(download, &CLoggerDownload::showListPane, this, [this] {
        if (m_callbacks.showPane)
            m_callbacks.showPane();
    });
    connect(download, &CLoggerDownload::stopRecording, this, [this] {
        if (m_callbacks.stopRecording)
            m_callbacks.stopRecording();
    });
    connect(download, &CLoggerDownload::dateWarning, this, [this] {
        // Posted: the download goes on while the box is up.
        QTimer::singleShot(0, m_pFrame, [frame = m_pFrame] {
            msgbox::Show(frame, QString::fromLatin1(logger::kBadDateText), QString::fromLatin1(logger::kBadDateCaption),
                msgbox::Warning);
        });
    });
}

CWaitDlg* CLoggerUi::WaitDlg() const
{
    return m_pWait;
}

void CLoggerUi::OnProgress(const LoggerProgress& p)
{
    if (!p.visible) {
        if (m_pWait)
            m_pWait->close();
        delete m_pWait;
        return;
    }
    if (!m_pWait) {
        m_pWait = new CWaitDlg(m_pFrame);
        m_pWait->setAttribute(Qt::WA_DeleteOnClose);
        m_pWait->SetProgress(p);
        m_pWait->adjustSize();
        m_pWait->PlaceAt(QRect(m_pFrame->mapToGlobal(QPoint(0, 0)), m_pFrame->size()));
        m_pWait->show();
    }
    m_pWait->SetProgress(p);
}

void CLoggerUi::OnFinished(bool complete, const QString& message)
{
    if (!m_callbacks.status)
        return;
    if (!message.isEmpty())
        m_callbacks.status(message);
    else if (complete)
        m_callbacks.status(QStringLiteral("Logger download complete: %1 record(s)").arg(m_pDownload->Records().size()));
}

CMyOrvelDoc* CLoggerUi::ShowRecord(const LoggerRecord& record)
{
    CMyOrvelDoc* doc = m_pDoc;
    // A record that went to a file keeps its document: refilling it would let the next Save
    // write another record over that file.
    if (!doc || !m_callbacks.isOpen(doc) || !doc->GetPathName().isEmpty()) {
        doc = m_callbacks.newDocument();
        m_pDoc = doc;
    }
    const LoggerDisplay display = FillLoggerDocument(*doc, record);
    doc->m_bLive = false;
    doc->SetTitle(QString::fromLatin1(logger::kDocumentTitle));
    // Only the meter holds these readings until they are saved.
    doc->SetModifiedFlag(true);
    emit doc->contentsLoaded();
    emit recordShown(doc, display);
    return doc;
}
