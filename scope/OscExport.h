#pragma once
// The spreadsheet form of one oscilloscope record as the window shows it ("&Export to excel"):
// the cells of the sheet "DataSheet" (the heading rows, then one row per value, with frequencies
// for the spectrum view), and the .xlsx workbook written from them.
#include "platform/Exporter.h"
#include "scope/OscData.h"

#include <QString>
#include <QVector>
#include <memory>

namespace osc {

constexpr const char* kSheetName = "DataSheet";

struct SheetCell {
    int row = 1; // counted from 1, as a spreadsheet shows them
    int col = 1;
    bool isNumber = false;
    double number = 0;
    int decimals = -1; // shown decimals of a number; -1 the general format
    QString text;
};

// "DateTime", "Voo", "Vp-p", "Sample Rate", "Status", "Trigger", the column titles, then one row
// per value: 300 for a waveform (count 300), 120 with frequency and unit for a spectrum (120).
QVector<SheetCell> ExportCells(const OSCInfo& info, const float* values, int count);

// The .xlsx export of the cells: a workbook with the one sheet "DataSheet", stepped a cell at a
// time. Null with `message` when the target cannot be written.
std::unique_ptr<IExporter> OpenSheetExport(const QString& path, QVector<SheetCell> cells, QString* message = nullptr);
// The same in one go. The file appears only once complete; `message` says why on failure.
bool WriteWorkbook(const QString& path, const QVector<SheetCell>& cells, QString* message = nullptr);
// Whether this build can write workbooks.
bool WorkbookSupported();

} // namespace osc
