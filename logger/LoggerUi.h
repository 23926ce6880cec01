#pragma once
// The window side of the logger download: the Logger List page, the progress window, the
// "DataLogger" document a record is shown in, the bad-date message and the status line. It only
// mirrors what CLoggerDownload says; the main window creates one and puts its list in the pane.
#include "datalog/MyOrvelDoc.h"
#include "logger/LoggerDownload.h"

#include <QObject>
#include <QPointer>
#include <functional>

class CLoggerList;
class CWaitDlg;
class QWidget;

class CLoggerUi : public QObject {
    Q_OBJECT
public:
    struct Callbacks {
        std::function<void(const QString&)> status; // a line for the status bar
        std::function<void()> showPane; // bring the Logger List page forward
        std::function<void()> stopRecording; // the Stop command
        std::function<CMyOrvelDoc*()> newDocument; // File > New: a fresh document with its window
        std::function<bool(CMyOrvelDoc*)> isOpen; // the document is still one of the open ones
    };

    CLoggerUi(CLoggerDownload* download, QWidget* frame, Callbacks callbacks);

    CLoggerList* List() const { return m_pList; }
    CWaitDlg* WaitDlg() const;
    // The document that shows downloaded records, while it is open.
    CMyOrvelDoc* LoggerDocument() const { return m_pDoc; }
    // Shows `record` in the "DataLogger" document, opening one when none is open or when the
    // open one was saved to a file (that file keeps its record). The document is then modified.
    CMyOrvelDoc* ShowRecord(const LoggerRecord& record);

signals:
    // The document now holds the record: a view draws it with this range and limit line.
    void recordShown(CMyOrvelDoc* doc, const LoggerDisplay& display);

private:
    void OnProgress(const LoggerProgress& p);
    void OnFinished(bool complete, const QString& message);

    CLoggerDownload* m_pDownload;
    QWidget* m_pFrame;
    Callbacks m_callbacks;
    CLoggerList* m_pList;
    QPointer<CWaitDlg> m_pWait;
    QPointer<CMyOrvelDoc> m_pDoc;
};
