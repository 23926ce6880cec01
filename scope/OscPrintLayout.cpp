#include "scope/OscPrintLayout.h"

#include "scope/OscGraphModel.h"

#include <algorithm>

namespace osc_print {

QVector<QPair<QString, QString>> InfoLines(const OSCInfo& info)
{
    static const char* const kStatus[] = { "", "HOLD", "REC", "FFT", "Single" };
    static const char* const kEdge[] = { "", "UP", "DOWN", "NO" };
    const bool volts = osc::UsableVoltDiv(info.dVoltDiv);
    return {
        { QStringLiteral("Date Time:"),
            QString::asprintf("%.2d/%.2d/%d  %.2d:%.2d:%.2d", info.nMonth, info.nDay, info.nYear, info.nHour,
                info.nMinute, info.nSecond) },
        { QStringLiteral("Voo:"), QStringLiteral("   ") + (volts ? info.strVoltDiv : QStringLiteral("---")) },
        { QStringLiteral("Vp-p:"), QStringLiteral("   ") + (volts ? info.strVpp : QStringLiteral("---")) },
        { QStringLiteral("Sample Rate:"), info.strRate },
        { QStringLiteral("Status:"),
            QString::fromLatin1(info.nStatus >= 1 && info.nStatus <= 4 ? kStatus[info.nStatus] : "") },
        { QStringLiteral("Trigger:"),
            QString::fromLatin1(info.nTrigEdge >= 1 && info.nTrigEdge <= 3 ? kEdge[info.nTrigEdge] : "") },
    };
}

QString TableFrequency(int timeBase, int row)
{
    osc::BinFrequency f;
    if (!osc::SpectrumFrequency(timeBase, row, f))
        return QString();
    return QString::number(f.value, 'f', f.decimals) + f.unit;
}

namespace {

QString PrintTime(const QDateTime& now)
{
    const QDate d = now.date();
    const QTime t = now.time();
    return QString::asprintf("%d/%d/%d %d:%d:%d", d.day(), d.month(), d.year(), t.hour(), t.minute(), t.second());
}

void AddInfo(PrintPage& page, const OSCInfo& info, int x, int y, int L, int valueX)
{
    for (const auto& line : InfoLines(info)) {
        page.texts.append({ line.first, QPoint(x, y) });
        page.texts.append({ line.second, QPoint(valueX, y) });
        y += L;
    }
}

} // namespace

GraphPage GraphPageLayout(const OSCInfo& info, int pw, int ph, int L, const QDateTime& now)
{
    GraphPage out;
    const int c = std::max(1, pw / 130);
    out.page.texts.append({ QStringLiteral("Graph"), QPoint(pw / 2, L), PrintText::TopCenter });
    out.page.texts.append({ PrintTime(now), QPoint(pw / 2, 2 * L), PrintText::TopCenter });
    // The graph keeps the window's proportions (a little wider than high).
    const int w = pw - 10 * c;
    const int h = std::min(ph / 2, w * 5 / 8);
    out.graph = QRect(5 * c, 4 * L, w, h);
    AddInfo(out.page, info, 10 * c, out.graph.bottom() + 2 * L, L, 36 * c);
    return out;
}

int RowsPerPage(int ph, int L)
{
    if (L <= 0)
        return 1;
    return std::max(1, (ph - 4 * L) / L);
}

QVector<PrintPage> DataPages(
    const OSCInfo& info, const float* values, int count, int pw, int ph, int L, const QDateTime& now)
{
    const int c = std::max(1, pw / 130);
    const bool spectrum = count == OSCData::kSpectrumPoints;
    const int perPage = RowsPerPage(ph, L);
    // The rows run down the page in as many columns as its width holds, so 300 values take a
    // page or two rather than six.
    const int columnWidth = (spectrum ? 50 : 36) * c;
    const int columns = std::max(1, (pw - 20 * c + 6 * c) / columnWidth);
    const int idX = 0, valueX = 12 * c, freqX = 28 * c;
    QVector<PrintPage> pages;
    auto heading = [&](PrintPage& page) {
        page.texts.append({ QStringLiteral("Data Table"), QPoint(pw / 2, L), PrintText::TopCenter });
    };
    auto titles = [&](PrintPage& page, int x, int y) {
        page.texts.append({ QStringLiteral("ID"), QPoint(x + idX, y) });
        page.texts.append({ QStringLiteral("Amplitude"), QPoint(x + valueX, y) });
        if (spectrum)
            page.texts.append({ QStringLiteral("Frequency"), QPoint(x + freqX, y) });
        page.rules.append(QLine(x, y + L, x + columnWidth - 6 * c, y + L));
    };
    auto footer = [&](PrintPage& page) {
        const QDate d = now.date();
        const QTime t = now.time();
        page.texts.append({ QString::asprintf("Time: %d-%d-%d  %d:%d:%d", d.year(), d.month(), d.day(), t.hour(),
                                t.minute(), t.second()),
            QPoint(10 * c, ph - L) });
        page.texts.append(
            { QString::asprintf("Page -%d-", int(pages.size()) + 1), QPoint(pw - 10 * c, ph - L), PrintText::TopRight });
    };

    PrintPage page;
    heading(page);
    AddInfo(page, info, 10 * c, 3 * L, L, 36 * c);
    // The first page's rows start below the record's lines; the others below the titles.
    int top = 10 * L;
    int column = 0;
    int x = 10 * c;
    int y = 0;
    int onColumn = 0;
    auto startColumn = [&] {
        x = 10 * c + column * columnWidth;
        titles(page, x, top);
        y = top + 2 * L;
        onColumn = 0;
    };
    startColumn();
    const int bottom = ph - 2 * L;
    for (int i = 0; i < count; ++i) {
        if (y + L > bottom || onColumn >= perPage) {
            if (++column >= columns) {
                footer(page);
                pages.append(page);
                page = PrintPage();
                heading(page);
                top = 3 * L;
                column = 0;
            }
            startColumn();
        }
        page.texts.append({ QString::asprintf("%d", i + 1), QPoint(x + idX, y) });
        page.texts.append({ QString::asprintf("%.2f", double(values[i])), QPoint(x + valueX, y) });
        if (spectrum)
            page.texts.append({ TableFrequency(info.nTimeBase, i), QPoint(x + freqX, y) });
        y += L;
        ++onColumn;
    }
    footer(page);
    pages.append(page);
    return pages;
}

} // namespace osc_print
