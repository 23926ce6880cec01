#include "scope/OscExport.h"

#include "platform/Workbook.h"
#include "scope/OscGraphModel.h"

#include <cmath>

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
    return CWorkbook::Supported();
}

namespace {

class CSheetExport : public IExporter {
public:
    explicit CSheetExport(QVector<SheetCell> cells)
        : m_cells(std::move(cells))
    {
    }
    bool Open(const QString& path, QString* message)
    {
        return m_book.Open(path, QString::fromLatin1(kSheetName), message, false);
    }
    bool Step(qsizetype cells) override
    {
        // Every cell is checked; values that are not a number or infinite are left empty (the
        // format has no cell for them).
        for (; cells > 0 && m_done < m_cells.size(); --cells, ++m_done) {
            const SheetCell& c = m_cells[m_done];
            if (c.isNumber)
                m_book.Number(c.row - 1, c.col - 1, c.number, c.decimals);
            else
                m_book.Text(c.row - 1, c.col - 1, c.text);
        }
        return !m_book.Failed();
    }
    bool AtEnd() const override { return m_done == m_cells.size(); }
    qsizetype Done() const override { return m_done; }
    qsizetype Total() const override { return m_cells.size(); }
    bool Complete(QString* message) override
    {
        if (m_book.Failed())
            return m_book.Close(message); // says why and drops the workbook
        m_book.ColumnWidth(0, 12);
        m_book.ColumnWidth(2, 22);
        return true;
    }
    bool Commit(QString* message, const std::atomic<bool>* stop) override { return m_book.Close(message, stop); }

private:
    QVector<SheetCell> m_cells;
    qsizetype m_done = 0;
    CWorkbook m_book;
};

} // namespace

std::unique_ptr<IExporter> OpenSheetExport(const QString& path, QVector<SheetCell> cells, QString* message)
{
    auto file = std::make_unique<CSheetExport>(std::move(cells));
    if (!file->Open(path, message))
        return nullptr;
    return file;
}

bool WriteWorkbook(const QString& path, const QVector<SheetCell>& cells, QString* message)
{
    const std::unique_ptr<IExporter> file = OpenSheetExport(path, cells, message);
    return file && file->Run(message);
}

} // namespace osc
