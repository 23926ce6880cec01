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
// Every page of the data table, footers included. Null elements are left out.
QVector<PrintPage> DataTablePages(
    const CDataLog& log, int pageWidth, int pageHeight, int lineHeight, const QDateTime& now);

} // namespace print_layout
