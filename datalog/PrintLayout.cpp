#include "datalog/PrintLayout.h"

#include "datalog/DataLogText.h"

#include <algorithm>

namespace print_layout {

PrintPage GraphPage(const CDataLog& log, int pw, int ph, int L, const QDateTime& now)
{
    PrintPage page;
    const QDate d = now.date();
    const QTime t = now.time();
    page.texts.append({ QStringLiteral("Graph"), QPoint(pw / 2, L), PrintText::TopCenter });
    page.texts.append({ QString::asprintf("%d/%d/%d %d:%d:%d", d.day(), d.month(), d.year(), t.hour(), t.minute(),
                            t.second()),
        QPoint(pw / 2, 2 * L), PrintText::TopCenter });
    const int x = pw / 10;
    const int y = ph / 2;
    page.texts.append({ QStringLiteral("Start Time:    ") + log.m_strStartTime, QPoint(x, y) });
    page.texts.append({ QStringLiteral("End Time:    ") + log.m_strEndTime, QPoint(x, y + L) });
    page.texts.append({ QString::asprintf("Maximum:    %.4f", log.m_dMax), QPoint(x, y + 2 * L) });
    // The times follow their values after a gap of a character or so (20 units are a hair on a
    // high-resolution printer).
    const int gap = std::max(20, L);
    page.texts.append({ log.m_strMaxTime, QPoint(gap, y + 2 * L), PrintText::AfterPrevious });
    page.texts.append({ QString::asprintf("Minimum:    %.4f", log.m_dMin), QPoint(x, y + 3 * L) });
    page.texts.append({ log.m_strMinTime, QPoint(gap, y + 3 * L), PrintText::AfterPrevious });
    page.texts.append({ QString::asprintf("Average:    %.4f", log.m_dAverage), QPoint(x, y + 4 * L) });
    page.texts.append({ QString::asprintf("Data Number:   %d", log.m_nDataNumber), QPoint(x, y + 5 * L) });
    page.texts.append({ QStringLiteral("Function:   ") + log.m_strType, QPoint(x, y + 6 * L) });
    return page;
}

int LinesPerPage(int ph, int L)
{
    if (L <= 0)
        return 1;
    return std::max(1, (ph - 4 * FontHeight(ph)) / L);
}

QVector<PrintPage> DataTablePages(const CDataLog& log, int pw, int ph, int L, const QDateTime& now)
{
    const int fh = FontHeight(ph);
    const int c = pw / 130;
    const int P = LinesPerPage(ph, L);
    QVector<PrintPage> pages;

    auto heads = [&](PrintPage& page, int y) {
        page.texts.append({ QStringLiteral("ID"), QPoint(4 * c, y) });
        page.texts.append({ QStringLiteral("DateTime"), QPoint(11 * c, y) });
        page.texts.append({ QStringLiteral("Unit"), QPoint(33 * c, y) });
        page.texts.append({ QStringLiteral("Value"), QPoint(42 * c, y) });
    };
    auto footer = [&](PrintPage& page, int number) {
        const QDate d = now.date();
        const QTime t = now.time();
        const QString time = QString::asprintf(
            "Time: %d-%d-%d  %d:%d:%d", d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
        // Ends at a third of the page width, whatever the font's character widths.
        page.texts.append({ time, QPoint(pw / 3, ph - fh), PrintText::TopRight });
        page.texts.append({ QString::asprintf("Page -%d-", number), QPoint(pw / 3 + c, ph - fh) });
    };

    PrintPage first;
    first.texts.append({ QStringLiteral("Data Table"), QPoint(pw / 4 - 5 * c, fh) });
    first.texts.append({ QStringLiteral("Start Time"), QPoint(4 * c, fh + L) });
    first.texts.append({ QStringLiteral("MaxNUM"), QPoint(4 * c, fh + 2 * L) });
    first.texts.append({ QStringLiteral("MinNUM"), QPoint(4 * c, fh + 3 * L) });
    first.texts.append({ QStringLiteral("Average"), QPoint(4 * c, fh + 4 * L) });
    first.texts.append({ log.m_strStartTime, QPoint(15 * c, fh + L) });
    first.texts.append({ QString::asprintf("%.2f", log.m_dMax) + QStringLiteral("   ") + log.m_strMaxTime,
        QPoint(15 * c, fh + 2 * L) });
    first.texts.append({ QString::asprintf("%.2f", log.m_dMin) + QStringLiteral("   ") + log.m_strMinTime,
        QPoint(15 * c, fh + 3 * L) });
    first.texts.append({ QString::asprintf("%.2f", log.m_dAverage), QPoint(15 * c, fh + 4 * L) });
    heads(first, fh + 7 * L);
    pages.append(first);

    const CDataSeries& s = log.m_arrSeries[0];
    int r = 7;
    int number = 0;
    for (qsizetype i = 0; i < s.Size(); ++i) {
        if (s.IsNull(i))
            continue;
        const int slot = r % P;
        const int y = fh + L + (slot == 0 ? P : slot) * L;
        PrintPage& page = pages.last();
        page.texts.append({ QString::number(++number), QPoint(4 * c, y) });
        page.texts.append({ s.DateTime(i), QPoint(11 * c, y) });
        page.texts.append({ s.Unit(i), QPoint(33 * c, y) });
        page.texts.append({ datalog_text::ValueText(s.Value(i), datalog_text::Place::PrintTable), QPoint(42 * c, y) });
        page.rules.append(QLine(4 * c, y + L, 47 * c, y + L));
        if (slot == 0) {
            footer(page, int(pages.size()));
            PrintPage next;
            next.texts.append({ QStringLiteral("Data Table"), QPoint(pw / 4 - 4 * c, fh) });
            heads(next, fh + L);
            pages.append(next);
        }
        ++r;
    }
    footer(pages.last(), int(pages.size()));
    return pages;
}

} // namespace print_layout
