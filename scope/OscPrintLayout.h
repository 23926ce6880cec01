#pragma once
// What the oscilloscope window's two printouts put on paper, in device units of the page: the
// "Print Graph" page (heading, the graph, the record's six lines) and the "Print Data" table of
// the values shown, with page breaks and footers. Computed without a printer; COscPrint draws it.
#include "datalog/PrintLayout.h"
#include "scope/OscData.h"

#include <QDateTime>
#include <QRect>
#include <QVector>

namespace osc_print {

// The six lines about the record: "Date Time:", "Voo:", "Vp-p:", "Sample Rate:", "Status:",
// "Trigger:", each with its value.
QVector<QPair<QString, QString>> InfoLines(const OSCInfo& info);

// The data table's frequency text of spectrum row `row` ("%.2fKHz" and so on); empty for a
// time base outside the table.
QString TableFrequency(int timeBase, int row);

struct GraphPage {
    PrintPage page;
    QRect graph; // where the graph is drawn, scaled to fit
};
// lineHeight: the height of a line of the text font. The graph fills the page width and a little
// under half its height.
GraphPage GraphPageLayout(const OSCInfo& info, int pageWidth, int pageHeight, int lineHeight, const QDateTime& now);

// Rows of the table on every page after the first: (pageHeight - 4 line heights) / lineHeight.
int RowsPerPage(int pageHeight, int lineHeight);
// Every page of the data table. count 120 adds the frequency column.
QVector<PrintPage> DataPages(const OSCInfo& info, const float* values, int count, int pageWidth, int pageHeight,
    int lineHeight, const QDateTime& now);

} // namespace osc_print
