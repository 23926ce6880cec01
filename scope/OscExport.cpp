#include "scope/OscExport.h"

#include "platform/SafeSave.h"
#include "scope/OscGraphModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>
#include <QTemporaryDir>

#ifdef METER_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

namespace osc {

namespace {

// The number a text of `decimals` decimals reads as: a cell shown as 0.3600 holds 0.36, not the
// 0.3600000143 of the single-precision sample behind it. Values that are no number stay as
// they are.
double Rounded(double v, int decimals)
{
    if (!std::isfinite(v))
        return v;
    return QString::number(v, 'f', decimals).toDouble();
}

} // namespace

QVector<SheetCell> ExportCells(const OSCInfo& info, const float* values, int count)
{
    QVector<SheetCell> cells;
    auto text = [&cells](int row, int col, const QString& t) {
        SheetCell c;
        c.row = row;
        c.col = col;
        c.text = t;
        cells.push_back(c);
    };
    auto number = [&cells](int row, int col, double v, int decimals) {
        SheetCell c;
        c.row = row;
        c.col = col;
        c.isNumber = true;
        c.number = decimals >= 0 ? Rounded(v, decimals) : v;
        c.decimals = decimals;
        cells.push_back(c);
    };
    text(1, 1, QStringLiteral("DateTime"));
    text(1, 3, QString::asprintf("%.2d/%.2d/%d  %.2d:%.2d:%.2d", info.nMonth, info.nDay, info.nYear, info.nHour,
                   info.nMinute, info.nSecond));
    text(2, 1, QStringLiteral("Voo"));
    text(2, 3, UsableVoltDiv(info.dVoltDiv) ? info.strVoltDiv : QStringLiteral("---"));
    text(3, 1, QStringLiteral("Vp-p"));
    text(3, 3, UsableVoltDiv(info.dVoltDiv) ? info.strVpp : QStringLiteral("---"));
    text(4, 1, QStringLiteral("Sample Rate"));
    text(4, 3, info.strRate);
    static const char* const kStatus[] = { "", "HOLD", "REC", "FFT", "SINGLE" };
    text(5, 1, QStringLiteral("Status"));
    text(5, 3, QString::fromLatin1(info.nStatus >= 1 && info.nStatus <= 4 ? kStatus[info.nStatus] : ""));
    text(6, 1, QStringLiteral("Trigger"));
    QString trigger;
    if (info.nTrigEdge == 1)
        trigger = QStringLiteral("UP");
    else if (info.nTrigEdge == 2)
        trigger = QStringLiteral("DOWN");
    else if (info.nTrigEdge == 3)
        trigger = QString::asprintf("Single:%.2f", info.nTrigLevel / 1000.0);
    text(6, 3, trigger);
    const bool spectrum = count == OSCData::kSpectrumPoints;
    text(7, 1, QStringLiteral("ID"));
    text(7, 3, QStringLiteral("Value"));
    if (spectrum)
        text(7, 4, QStringLiteral("Frequency"));
    for (int i = 0; i < count; ++i) {
        const int row = 8 + i;
        number(row, 1, i + 1, -1);
        number(row, 3, double(values[i]), 4);
        if (!spectrum)
            continue;
        BinFrequency f;
        if (SpectrumFrequency(info.nTimeBase, i, f)) {
            number(row, 4, f.value, f.decimals);
            text(row, 5, f.unit);
        } else {
            // A time base the meter does not have: no frequency to give.
            text(row, 4, QStringLiteral("---"));
            text(row, 5, QString());
        }
    }
    return cells;
}

bool WorkbookSupported()
{
#ifdef METER_HAVE_XLSXWRITER
    return true;
#else
    return false;
#endif
}

bool WriteWorkbook(const QString& path, const QVector<SheetCell>& cells, QString* message)
{
    auto fail = [message](const QString& why) {
        if (message)
            *message = why;
        return false;
    };
    // Checked before the workbook is built: only ever a regular file that may be written (a link
    // counts as what it points to), never a folder, device or pipe.
    CSafeSave save(path);
    QString refused;
    if (!save.Open(&refused))
        return fail(refused);
#ifdef METER_HAVE_XLSXWRITER
    // The library writes a file of its own; it is built in a scratch folder and then saved the
    // one safe way, so the target keeps its permissions and a full disk is told.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return fail(QStringLiteral("Cannot save \"%1\": %2.").arg(QDir::toNativeSeparators(path), scratch.errorString()));
    const QString part = scratch.filePath(QStringLiteral("book.xlsx"));
    const QByteArray partName = QFile::encodeName(part);
    lxw_workbook* book = workbook_new(partName.constData());
    if (!book)
        return fail(QStringLiteral("Cannot create %1").arg(QDir::toNativeSeparators(path)));
    lxw_worksheet* sheet = workbook_add_worksheet(book, kSheetName);
    lxw_format* formats[5] = {};
    static const char* const kFormats[] = { "0", "0.0", "0.00", "0.000", "0.0000" };
    for (int d = 0; d < 5; ++d) {
        formats[d] = workbook_add_format(book);
        format_set_num_format(formats[d], kFormats[d]);
    }
    for (const SheetCell& c : cells) {
        const lxw_row_t row = lxw_row_t(c.row - 1);
        const lxw_col_t col = lxw_col_t(c.col - 1);
        if (c.isNumber) {
            lxw_format* f = c.decimals >= 0 && c.decimals < 5 ? formats[c.decimals] : nullptr;
            worksheet_write_number(sheet, row, col, c.number, f);
        } else if (!c.text.isEmpty()) {
            worksheet_write_string(sheet, row, col, c.text.toUtf8().constData(), nullptr);
        }
    }
    worksheet_set_column(sheet, 0, 0, 12, nullptr);
    worksheet_set_column(sheet, 2, 2, 22, nullptr);
    const lxw_error err = workbook_close(book);
    if (err != LXW_NO_ERROR)
        return fail(QStringLiteral("Cannot write %1: %2")
                        .arg(QDir::toNativeSeparators(path), QString::fromUtf8(lxw_strerror(err))));
    QFile built(part);
    if (!built.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(path), built.errorString()));
    while (!built.atEnd()) {
        const QByteArray chunk = built.read(1 << 16);
        if (chunk.isEmpty() || !save.Write(chunk))
            break;
    }
    if (!built.atEnd() && !save.Failed())
        return fail(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(path), built.errorString()));
    return save.Commit(message);
#else
    Q_UNUSED(cells);
    return fail(QStringLiteral("This build cannot write spreadsheet files."));
#endif
}

} // namespace osc
