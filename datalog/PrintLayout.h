#pragma once
// What the two printouts of a data-log document put on paper, in device units of the page: the
// "Print Graph" page (graph in the upper half, the statistics under it) and the "Print Data"
// table with its page breaks and footers. Text sizes come in as numbers (line height), so the
// layout is computed and tested without a printer; CPrintRX draws it.
#include "datalog/DataLog.h"

#include <QDateTime>
#include <QLine>
#include <QPoint>
#include <QString>
#include <QVector>

struct PrintText {
    enum Align {
        TopLeft, // pos is the top-left corner
        TopCenter, // pos.x is the centre
        TopRight, // pos.x is the right end
        AfterPrevious, // starts pos.x units right of the previous text's end, at pos.y
    };
    QString text;
    QPoint pos;
    Align align = TopLeft;
};

struct PrintPage {
    QVector<PrintText> texts;
    QVector<QLine> rules;
};

namespace print_layout {

// Font height of both printouts: a 80th of the page height.
inline int FontHeight(int pageHeight) { return pageHeight / 80; }

// The texts of the graph page (the graph itself goes into (0, 0, pageWidth, pageHeight / 2)).
PrintPage GraphPage(const CDataLog& log, int pageWidth, int pageHeight, int lineHeight, const QDateTime& now);

// Rows per page of the data table: trunc((pageHeight - 4 x font height) / lineHeight), at least 1.
int LinesPerPage(int pageHeight, int lineHeight);
// The data table a page at a time, footers included, so that a long table is printed without
// holding all its pages. Null elements are left out.
class CDataTablePager {
public:
    CDataTablePager(const CDataLog& log, int pageWidth, int pageHeight, int lineHeight, const QDateTime& now);
    bool AtEnd() const { return m_atEnd; }
    PrintPage Next();
    // Readings in all and printed so far.
    qsizetype Total() const { return m_total; }
    qsizetype Done() const { return m_number; }

private:
    void Heads(PrintPage& page, int y) const;
    void Footer(PrintPage& page) const;

    const CDataLog& m_log;
    int m_pw, m_ph, m_L, m_fh, m_c, m_P;
    QDateTime m_now;
    qsizetype m_total;
    qsizetype m_next = 0; // position in series 0
    int m_r = 7; // line counter: the first row is on line 7
    int m_number = 0;
    int m_page = 0;
    bool m_atEnd = false;
};

// Every page of the data table at once.
QVector<PrintPage> DataTablePages(
    const CDataLog& log, int pageWidth, int pageHeight, int lineHeight, const QDateTime& now);

} // namespace print_layout
