#pragma once
// Draws a laid-out printout page (texts and rules, in the painter's own units) on paper, a PDF or
// a picture. Every printout of the program goes through it: the data-log's graph and data table,
// the oscilloscope's graph and data.
#include "datalog/PrintLayout.h"
#include "platform/Exporter.h"

#include <QColor>
#include <QPainter>
#include <QVector>
#include <memory>

class QPrinter;

// textColor: when valid, every text is drawn in it; otherwise in the painter's current pen.
void DrawPrintPage(QPainter& p, const PrintPage& page, const QColor& textColor = QColor());

// A printout on the printer the user chose, on paper or into a PDF file: its pages go out one
// after another through DrawPrintPage, with a page break between them. Begin opens the print run;
// what comes before the pages (a graph) is drawn on Painter() before the first Step. The pages
// are laid out at once (SetPages) or as they go (SetPager: the data table of any length);
// Step draws pages; Done and Total count pages, or the pager's readings. Complete ends the run; the printer puts
// its file in place itself, so Commit has nothing left to do.
class CPrintout : public IExporter {
public:
    // textColor: as DrawPrintPage takes it.
    explicit CPrintout(QPrinter& printer, const QColor& textColor = QColor());
    ~CPrintout() override; // a run not completed is aborted
    // Opens the print run; false when the printer cannot be opened.
    bool Begin();
    QPainter& Painter() { return m_painter; }
    bool IsActive() const { return m_painter.isActive(); }
    void SetPages(QVector<PrintPage> pages);
    void SetPager(std::unique_ptr<print_layout::CDataTablePager> pager);
    // Ends the run unfinished: the printer drops what it has.
    void Abort();

    bool Step(qsizetype pages) override;
    bool AtEnd() const override;
    qsizetype Done() const override;
    qsizetype Total() const override;
    bool Complete(QString* message = nullptr) override;
    bool Commit(QString* message = nullptr, const std::atomic<bool>* stop = nullptr) override;

private:
    QPrinter& m_printer;
    QColor m_textColor;
    QPainter m_painter;
    QVector<PrintPage> m_pages;
    std::unique_ptr<print_layout::CDataTablePager> m_pager;
    qsizetype m_nextPage = 0;
    int m_printed = 0;
};
