#pragma once
// Printing of a data-log document: the print dialog, the printer it chose, the fonts handed out
// per slot, and the two printouts ("Print Graph", "Print Data") laid out by print_layout.
#include <QDateTime>
#include <QFont>
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
