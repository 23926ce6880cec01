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
    // The table's spacing stops at time base 17; 18 prints no frequency.
    if (timeBase < 0 || timeBase > 17)
        return QString();
    const double f = row * osc::ExportBinSpacing(timeBase);
    if (timeBase <= 2)
        return QString::asprintf("%.0fHz", f);
    if (timeBase <= 7)
        return QString::asprintf("%.2fKHz", f / 100);
    if (timeBase <= 12)
        return QString::asprintf("%.1fKHz", f / 10);
    return QString::asprintf("%.3fMHz", f / 1000);
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
    QVector<PrintPage> pages;
    auto heading = [&](PrintPage& page) {
        page.texts.append({ QStringLiteral("Data Table"), QPoint(pw / 2, L), PrintText::TopCenter });
    };
    auto titles = [&](PrintPage& page, int y) {
        page.texts.append({ QStringLiteral("ID"), QPoint(10 * c, y) });
        page.texts.append({ QStringLiteral("Amplitude"), QPoint(30 * c, y) });
        if (spectrum)
            page.texts.append({ QStringLiteral("Frequency"), QPoint(55 * c, y) });
        page.rules.append(QLine(10 * c, y + L, 80 * c, y + L));
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
    int y = 10 * L;
    titles(page, y);
    y += 2 * L;
    // The first page's rows start below the record's lines; the others below the titles.
    const int bottom = ph - 2 * L;
    int onPage = 0;
    for (int i = 0; i < count; ++i) {
        if (y + L > bottom || onPage >= perPage) {
            footer(page);
            pages.append(page);
            page = PrintPage();
            heading(page);
            y = 3 * L;
            titles(page, y);
            y += 2 * L;
            onPage = 0;
        }
        page.texts.append({ QString::asprintf("%d", i + 1), QPoint(10 * c, y) });
        page.texts.append({ QString::asprintf("%.2f", double(values[i])), QPoint(30 * c, y) });
        if (spectrum)
            page.texts.append({ TableFrequency(info.nTimeBase, i), QPoint(55 * c, y) });
        y += L;
        ++onPage;
    }
    footer(page);
    pages.append(page);
    return pages;
}

} // namespace osc_print
