#pragma once
// Printing of a data-log document: the print dialog, the printer it chose, the fonts handed out
// per slot, and the two printouts ("Print Graph", "Print Data") laid out by print_layout.
#include "datalog/PrintPainter.h"

#include <QDateTime>
#include <QFont>
#include <QObject>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <functional>
#include <memory>

class CDataLog;
class CGraphDlg;
class QWidget;

class CPrintRX {
public:
    CPrintRX();
    ~CPrintRX();

    // Shows the print dialog; false when cancelled. Tests install a chooser that sets up the
    // printer (e.g. a PDF file) and answers in place of the dialog.
    bool ShowPrintDialog(QWidget* parent);
    using Chooser = std::function<bool(QPrinter& printer)>;
    static void SetChooserForTesting(Chooser chooser);

    QPrinter& Printer() { return m_printer; }
    // Page size in device units.
    int PageWidth() const;
    int PageHeight() const;

    // Font slots: each holds "Arial" 13 point regular and bold and 25 point regular and bold;
    // ten slots at most, the eleventh request returns -1.
    static constexpr int kMaxSlots = 10;
    int CreateFontSlot();
    QFont Font(int slot, int which) const; // which: 0..3

    void PrintGraph(const CGraphDlg& graph, const CDataLog& log, const QDateTime& now);
    void PrintData(const CDataLog& log, const QDateTime& now);
    // The data table's font: a 80th of the page height, smaller where the face is too wide for
    // the columns.
    QFont DataFont();

private:
    QPrinter m_printer;
    int m_nSlots = 0;
};

// "Print Data" drawn a page at a time: only the page being drawn is held, and Start() draws a
// tenth of a second's worth of pages per turn of the event loop, so the window stays usable,
// shows progress and can stop the printout (Cancel aborts the print run).
class CDataPrintJob : public QObject {
    Q_OBJECT
public:
    // `log` lives in `owner` (null: it outlives the job); the printout stops when the owner goes.
    CDataPrintJob(CPrintRX* printer, const CDataLog& log, const QObject* owner, const QDateTime& now,
        QObject* parent = nullptr);
    ~CDataPrintJob() override;

    // Starts the print run; false when the printer cannot be opened.
    bool Begin();
    // Draws up to `pages` more pages; false once the last one is done (the run is then ended).
    bool PrintPages(int pages);

    // The job keeps the printer it was given (made with new) and deletes it last.
    void AdoptPrinter(std::unique_ptr<CPrintRX> printer) { m_owned = std::move(printer); }

    // Begin, then pages from the event loop.
    bool Start();
    void Cancel();
    bool IsRunning() const { return m_printout.IsActive(); }

signals:
    void progress(qsizetype done, qsizetype total);
    void finished(bool ok);

private:
    void Step();

    std::unique_ptr<CPrintRX> m_owned; // destroyed after the painter has ended
    CPrintRX* m_printer;
    const CDataLog& m_log;
    QPointer<const QObject> m_owner;
    bool m_watchOwner;
    QDateTime m_now;
    CPrintout m_printout; // ended (or aborted) before the printer it draws on goes
};
