#include "display/LcdLayout.h"

#include "display/LcdText.h"
#include "display/UnitTable.h"

#include <cmath>

const char* const kLcdFaceName = "Time New Roman";

QSize LcdPictureSize(LcdPicture picture, int legendRow)
{
    switch (picture) {
    case LcdPicture::UnitLegend:
        return QSize(UnitLegendWidth(legendRow), kUnitLegendHeight);
    case LcdPicture::Hold:
        return QSize(43, 16);
    case LcdPicture::AutoRange:
    case LcdPicture::ManualRange:
        return QSize(83, 19);
    case LcdPicture::MinMax:
        return QSize(43, 14);
    case LcdPicture::Peak:
        return QSize(43, 13);
    case LcdPicture::Rel:
        return QSize(43, 16);
    case LcdPicture::LowPass:
        return QSize(30, 17);
    case LcdPicture::Delta:
    case LcdPicture::Diode:
        return QSize(25, 25);
    case LcdPicture::Fahrenheit:
    case LcdPicture::Celsius:
        return QSize(20, 17);
    case LcdPicture::NoRecv:
        return QSize(189, 50);
    }
    return QSize();
}

const LcdItem* LcdScene::FindText(const QString& text) const
{
    for (const LcdItem& it : items) {
        if (it.kind == LcdItem::Kind::Text && it.text == text)
            return &it;
    }
    return nullptr;
}

const LcdItem* LcdScene::Find(LcdRole role) const
{
    for (const LcdItem& it : items) {
        if (it.role == role)
            return &it;
    }
    return nullptr;
}

const LcdItem* LcdScene::FindPicture(LcdPicture picture) const
{
    for (const LcdItem& it : items) {
        if (it.kind == LcdItem::Kind::Picture && it.picture == picture)
            return &it;
    }
    return nullptr;
}

QVector<const LcdItem*> LcdScene::All(LcdRole role) const
{
    QVector<const LcdItem*> out;
    for (const LcdItem& it : items) {
        if (it.role == role)
            out.push_back(&it);
    }
    return out;
}

LcdBarScale ChooseBarScale(const QString& function, int decimals, int mode)
{
    if (mode == 1) {
        if (decimals == 3 && function == QLatin1String("ADC"))
            return { true, 10.0f, -10.0f };
        if (decimals == 3 && function == QLatin1String("AAC"))
            return { true, 10.0f, 0.0f };
        if (decimals == 1 && function == QLatin1String("uAAC"))
            return { true, 5000.0f, 0.0f };
        if (decimals == 1 && function == QLatin1String("uADC"))
            return { true, 5000.0f, -5000.0f };
    }
    float f;
    switch (decimals) {
    case 4:
        f = 5.0f;
        break;
    case 3:
        f = 50.0f;
        break;
    case 2:
        f = 500.0f;
        break;
    case 1:
        f = 1000.0f;
        break;
    default:
        return {};
    }
    static const char* const kAcGroup[] = { "VAC", "RES", "Diode", "mVAC", "AAC", "mAAC", "uAAC" };
    static const char* const kDcGroup[] = { "VDC", "mVDC", "ADC", "mADC", "uADC" };
    for (const char* name : kAcGroup) {
        if (function == QLatin1String(name)) {
            if (decimals == 1 && (mode == 3 || mode == 4) && function == QLatin1String("Diode"))
                return {};
            return { true, f, 0.0f };
        }
    }
    for (const char* name : kDcGroup) {
        if (function == QLatin1String(name))
            return { true, f, -f };
    }
    return {};
}

// The combined DC+AC reading arrives with the unit text "dc+ac", which names no legend; the range
// it is measured in stands in the function name ("DC+AC(mA)"), and with it the legend row
// ("mAdc+ac"). Without this the combined reading would be shown with no unit at all.
static QString LegendUnit(int mode, const MeterData& d)
{
    static const QString kCombined = QStringLiteral("dc+ac");
    static const QString kPrefix = QStringLiteral("DC+AC(");
    const QString& f = d.m_strFunction;
    if (mode == 5 && d.m_strUnit == kCombined && f.startsWith(kPrefix) && f.endsWith(QLatin1Char(')')))
        return f.mid(kPrefix.size(), f.size() - kPrefix.size() - 1) + kCombined;
    return d.m_strUnit;
}

int LegendRowFor(int mode, const MeterData& d)
{
    int row = UnitIndex(LegendUnit(mode, d));
    if (row < 0)
        return -1; // an unknown unit draws no legend, whatever the variant's step
    switch (mode) {
    case 1:
    case 2:
        // The low-pass switch steps to the next row ("VAC" to its low-pass legend). The last row
        // has no neighbour and keeps its own legend.
        if ((d.m_bSubMode || d.m_bSubMode2) && row + 1 < kUnitCount)
            ++row;
        break;
    case 3:
        if (row == UnitRow::DiodeV)
            row += UnitRow::PlainVOffset;
        break;
    case 7:
        if (row == UnitRow::HzSecond)
            row = UnitRow::HzFirst;
        break;
    default:
        break;
    }
    return row;
}

LcdLayout::LcdLayout(const MeterData& record, QSize frame, const LcdTextMeasure& measure)
    : m_d(record)
    , m_measure(measure)
    , m_nW(frame.width())
    , m_nH(frame.height())
    , m_nBigL(measure.LineHeight(LcdFonts::Big))
    , m_nSmallL(measure.LineHeight(LcdFonts::Small))
{
}

LcdScene LcdLayout::Begin(const QString& valueText, int maxWidth) const
{
    LcdScene s;
    s.frame = QSize(m_nW, m_nH);
    LcdItem bg;
    bg.kind = LcdItem::Kind::Fill;
    bg.role = LcdRole::Background;
    bg.rect = QRect(0, 0, m_nW, m_nH);
    bg.rgb = LcdColor::LcdGrey;
    s.items.push_back(bg);
    if (!valueText.isNull()) {
        LcdItem v;
        v.kind = LcdItem::Kind::Text;
        v.role = LcdRole::MainValue;
        v.text = valueText;
        v.font = LcdFonts::Big;
        v.rgb = LcdColor::Black;
        // A value too long for its room is set narrower rather than cut off.
        if (maxWidth < 0)
            maxWidth = m_nW - 4;
        while (v.font.width > 8 && m_measure.TextWidth(v.font, valueText) > maxWidth)
            --v.font.width;
        const int tw = m_measure.TextWidth(v.font, valueText);
        v.rect = QRect(m_nW / 2 - tw / 2, m_nH / 2 - m_nBigL, tw, m_nBigL);
        s.items.push_back(v);
    }
    return s;
}

void LcdLayout::ClockAndDate(LcdScene& s, int year, int month, int day, int hour, int minute) const
{
    auto boxed = [&](const QString& text, int x, LcdRole boxRole, LcdRole textRole) {
        const int tw = m_measure.TextWidth(LcdFonts::Small, text);
        const int left = x < 0 ? m_nW - 10 - tw : x;
        LcdItem box;
        box.kind = LcdItem::Kind::Fill;
        box.role = boxRole;
        box.rect = QRect(left, 0, tw, m_nSmallL);
        box.rgb = LcdColor::BoxGrey;
        s.items.push_back(box);
        LcdItem t;
        t.kind = LcdItem::Kind::Text;
        t.role = textRole;
        t.text = text;
        t.font = LcdFonts::Small;
        t.rgb = LcdColor::White;
        t.rect = QRect(left, 0, tw, m_nSmallL);
        s.items.push_back(t);
    };
    boxed(LcdText::Clock(hour, minute, m_d.m_b24Hour), 10, LcdRole::ClockBox, LcdRole::Clock);
    boxed(LcdText::Date(year, month, day, m_d.m_bMonthFirst), -1, LcdRole::DateBox, LcdRole::Date);
}

void LcdLayout::Picture(LcdScene& s, LcdPicture picture, int x, int y, LcdRole role) const
{
    LcdItem it;
    it.kind = LcdItem::Kind::Picture;
    it.role = role;
    it.picture = picture;
    it.rect = QRect(QPoint(x, y), LcdPictureSize(picture));
    s.items.push_back(it);
}

void LcdLayout::UnitLegend(LcdScene& s, int row) const
{
    if (row < 0 || row >= kUnitCount)
        return;
    LcdItem it;
    it.kind = LcdItem::Kind::Picture;
    it.role = LcdRole::UnitLegend;
    it.picture = LcdPicture::UnitLegend;
    it.legendRow = row;
    const QSize size = LcdPictureSize(LcdPicture::UnitLegend, row);
    it.rect = QRect(QPoint(m_nW - size.width() - 5, m_nSmallL + 3), size);
    s.items.push_back(it);
}

void LcdLayout::Hold(LcdScene& s, int mode) const
{
    if (!m_d.m_bHold)
        return;
    int x = mode >= 4 ? m_nW / 2 + 10 : m_nW / 2;
    // The wider unit legends reach left past the Hold plate's place; the plate gives way.
    if (const LcdItem* legend = s.Find(LcdRole::UnitLegend))
        x = qMin(x, legend->rect.left() - 1 - LcdPictureSize(LcdPicture::Hold).width());
    Picture(s, LcdPicture::Hold, x, m_nSmallL + 3);
}

void LcdLayout::Range(LcdScene& s, bool autoRange) const
{
    Picture(s, autoRange ? LcdPicture::AutoRange : LcdPicture::ManualRange, 5, m_nSmallL + 3);
}

void LcdLayout::ModeLegend(LcdScene& s, LcdPicture picture) const
{
    // The mode legend's place (ending 20 pixels right of the centre) always overlaps the Hold
    // legend's. With Hold on, the mode legend moves up into the free middle of the clock line,
    // where it can touch neither the Hold plate nor the big value.
    const QSize size = LcdPictureSize(picture);
    int y = m_nSmallL + 3;
    if (m_d.m_bHold)
        y = qMax(0, (m_nSmallL - size.height()) / 2);
    Picture(s, picture, m_nW / 2 - size.width() + 20, y);
}

void LcdLayout::Text(LcdScene& s, int x, int y, const QString& text, LcdRole role) const
{
    LcdItem it;
    it.kind = LcdItem::Kind::Text;
    it.role = role;
    it.text = text;
    it.font = LcdFonts::Small;
    it.rgb = LcdColor::Black;
    const int tw = m_measure.TextWidth(LcdFonts::Small, text);
    // A line that would run past the frame's right edge is moved left to end inside it.
    if (x + tw > m_nW - 2)
        x = qMax(0, m_nW - 2 - tw);
    it.rect = QRect(x, y, tw, m_nSmallL);
    s.items.push_back(it);
}

void LcdLayout::Row(LcdScene& s, int y, const QVector<RowCell>& cells) const
{
    // Columns at fixed places, as the meter lays them out. A long value pushes the columns left
    // of it further left (never the other way), so that nothing runs into the next column or out
    // of the frame; when even that leaves no room, the line is set in a narrower face.
    constexpr int kGap = 3;
    for (int narrow = 0; narrow <= 2; ++narrow) {
        const LcdFont font { LcdFonts::Small.height, LcdFonts::Small.width - narrow };
        QVector<int> xs(cells.size());
        int limit = m_nW - 2; // the right edge the current cell must end before
        for (int i = int(cells.size()) - 1; i >= 0; --i) {
            const int tw = m_measure.TextWidth(font, cells[i].text);
            xs[i] = qMin(cells[i].x, limit - tw);
            limit = xs[i] - kGap;
        }
        if ((!xs.isEmpty() && xs.first() >= 0) || narrow == 2) {
            for (int i = 0; i < cells.size(); ++i) {
                if (cells[i].text.isEmpty())
                    continue;
                LcdItem it;
                it.kind = LcdItem::Kind::Text;
                it.role = LcdRole::Text;
                it.text = cells[i].text;
                it.font = font;
                it.rgb = LcdColor::Black;
                it.rect = QRect(qMax(0, xs[i]), y, m_measure.TextWidth(font, cells[i].text), m_nSmallL);
                s.items.push_back(it);
            }
            return;
        }
    }
}

void LcdLayout::StatLine(
    LcdScene& s, int y, const char* label, const QString& value, const QString& unit, const QString& time) const
{
    Row(s, y, { { 10, QString::fromLatin1(label) }, { 80, value }, { 130, unit }, { 165, time } });
}

void LcdLayout::StartLine(LcdScene& s, int y, const QString& start) const
{
    // A start time too long for the frame moves left together with its label.
    Row(s, y, { { 60, QStringLiteral("Start:") }, { 100, start } });
}

int LcdLayout::BelowBar(const LcdScene& s, int y) const
{
    // Lines under the bar graph start below its labels.
    for (const LcdItem& it : s.items) {
        if (it.role == LcdRole::BarLabel || it.role == LcdRole::BarUnit)
            y = qMax(y, it.rect.bottom() + 1);
    }
    return y;
}

QString LcdLayout::MainReading(float value, int decimals) const
{
    if (m_d.m_fValue > m_d.m_fLimit)
        return QStringLiteral("OL");
    if (m_d.m_fValue < -m_d.m_fLimit)
        return QStringLiteral("-OL");
    return LcdText::Number(value, decimals);
}

void LcdLayout::Bar(LcdScene& s, int mode) const
{
    const LcdBarScale scale = ChooseBarScale(m_d.m_strFunction, m_d.m_nDecimals, mode);
    if (scale.valid)
        BarGraph(s, scale.high, scale.low, m_d.m_fValue);
}

void LcdLayout::BarGraph(LcdScene& s, float high, float low, float reading) const
{
    const double w = m_nW;
    const int axisY = m_nH / 2;
    const double left = 2.0 * w / 15.0;
    auto line = [&](LcdRole role, int x1, int y1, int x2, int y2) {
        LcdItem it;
        it.kind = LcdItem::Kind::Line;
        it.role = role;
        it.line = QLine(x1, y1, x2, y2);
        it.rgb = LcdColor::Black;
        s.items.push_back(it);
    };
    auto label = [&](double x, float value, LcdRole role = LcdRole::BarLabel) -> int {
        const QString text = LcdText::Number(value, 0);
        const int tw = m_measure.TextWidth(LcdFonts::Scale, text);
        LcdItem it;
        it.kind = LcdItem::Kind::Text;
        it.role = role;
        it.text = text;
        it.font = LcdFonts::Scale;
        it.rgb = LcdColor::Black;
        it.rect = QRect(int(x) - tw / 2, axisY + 8, tw, m_measure.LineHeight(LcdFonts::Scale));
        s.items.push_back(it);
        return tw;
    };

    line(LcdRole::BarAxis, int(left), axisY, int(13.0 * w / 15.0), axisY);
    for (int i = 0; i <= 10; ++i) {
        const int x = int(left + i * 11.0 * w / 150.0);
        line(LcdRole::BarMajorTick, x, axisY, x, axisY + 8);
    }
    for (int j = 0; j <= 50; ++j) {
        const int x = int(left + j * 11.0 * w / 750.0);
        line(LcdRole::BarMinorTick, x, axisY, x, axisY + 5);
    }

    int lastWidth = 0;
    auto lastRight = [&s] { return s.items.back().rect.right(); };
    if (low >= 0.0f || low <= -500.0f) {
        const int first = int(s.items.size());
        for (int k = 0; k <= 5; ++k)
            lastWidth = label(left + k * 11.0 * w / 75.0, low + float(k) / 5.0f * (high - low));
        if (low < 0.0f) {
            // A wide bipolar scale gets a zero at its centre, where it fits between the coarse
            // labels ("-1000" and "1000" may leave it no room).
            label(left + 5 * 11.0 * w / 150.0, 0.0f);
            LcdItem zero = s.items.takeLast();
            bool fits = true;
            for (int i = first; i < s.items.size(); ++i)
                fits = fits && !s.items[i].rect.adjusted(-3, 0, 3, 0).intersects(zero.rect);
            if (fits)
                s.items.insert(first, zero);
        }
    } else {
        // A label at every major tick, unless neighbours would run together ("-50-40-30"): then
        // every other tick is labelled, which still gives both ends and the centre.
        const double step = 11.0 * w / 150.0;
        int widest = 0;
        for (int k = 0; k <= 10; ++k) {
            const QString text = LcdText::Number(low + float(k) / 10.0f * (high - low), 0);
            widest = qMax(widest, m_measure.TextWidth(LcdFonts::Scale, text));
        }
        const int every = widest + 3 > int(step) ? 2 : 1;
        for (int k = 0; k <= 10; k += every)
            lastWidth = label(left + k * step, low + float(k) / 10.0f * (high - low));
    }
    {
        LcdItem unit;
        unit.kind = LcdItem::Kind::Text;
        unit.role = LcdRole::BarUnit;
        unit.text = m_d.m_strUnit;
        unit.font = LcdFonts::Scale;
        unit.rgb = LcdColor::Black;
        const int uw = m_measure.TextWidth(LcdFonts::Scale, m_d.m_strUnit);
        const int scaleL = m_measure.LineHeight(LcdFonts::Scale);
        int x = qMax(int(left + 5 * 11.0 * w / 75.0 + lastWidth / 2), lastRight() + 1);
        int y = axisY + 8;
        // The unit stays inside the display: where it has no room after the last label, it goes
        // under that label, ending at the frame's edge.
        if (x + uw > m_nW - 2) {
            x = m_nW - 2 - uw;
            y += scaleL;
        }
        unit.rect = QRect(x, y, uw, scaleL);
        s.items.push_back(unit);
    }

    // Limit the reading to the scale; an over-range reading counts as the scale's end.
    float r = reading;
    if (std::isnan(r))
        r = 0.0f;
    if (r > high || r > m_d.m_fLimit)
        r = high;
    const bool bipolar = low < 0.0f;
    if (bipolar && r < 0.0f && (-r > high || -r > m_d.m_fLimit))
        r = low;
    if (!bipolar && r < 0.0f)
        r = 0.0f; // a scale from zero has nothing to show left of its start

    int x = 0;
    int length = 0;
    if (!bipolar) {
        x = int(left);
        length = high > 0.0f ? int(11.0 * w * r / (15.0 * high)) : 0;
    } else {
        x = m_nW / 2;
        length = int(11.0 * w / 15.0 * r / (double(high) - double(low)));
        if (length < 0) {
            x += length;
            length = -length;
        }
    }
    LcdItem bar;
    bar.kind = LcdItem::Kind::Fill;
    bar.role = LcdRole::Bar;
    bar.rect = QRect(x, axisY - 5, length, 5);
    bar.rgb = LcdColor::BoxGrey;
    s.items.push_back(bar);
}

LcdScene LcdLayout::Normal(const QString& /*unit*/, float value, int decimals) const
{
    LcdScene s = Begin(MainReading(value, decimals));
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    UnitLegend(s, LegendRowFor(1, m_d));
    Hold(s, 1);
    Range(s, m_d.m_bAutoRange);
    Bar(s, 1);
    return s;
}

LcdScene LcdLayout::MinMax(const QString& /*unit*/, float value, int decimals) const
{
    LcdScene s = Begin(MainReading(value, decimals));
    const LcdText::Moment now = LcdText::RunClock(m_d);
    ClockAndDate(s, now.year, now.month, now.day, now.hour, now.minute);
    UnitLegend(s, LegendRowFor(2, m_d));
    ModeLegend(s, LcdPicture::MinMax);
    Hold(s, 2);

    const float limit = m_d.m_fLimit;
    auto stat = [&](int y, const char* label, const MeterStat& st) {
        StatLine(s, y, label, LcdText::Reading(st.m_fValue, st.m_nDecimals, limit), st.m_strUnit, st.m_strTime);
    };
    const int y0 = m_nH / 2;
    stat(y0, "Mininum", m_d.m_statMin);
    stat(y0 + m_nSmallL, "Average", m_d.m_statAvg);
    stat(y0 + 2 * m_nSmallL, "Maxinum", m_d.m_statMax);
    StartLine(s, y0 + 3 * m_nSmallL, LcdText::StartLine(m_d));
    return s;
}

LcdScene LcdLayout::Relative(const QString& /*unit*/, float /*value*/, int decimals) const
{
    const float limit = m_d.m_fLimit;
    const bool over = m_d.m_fValue > limit || m_d.m_fReference > limit;
    QString main;
    if (over) {
        main = QStringLiteral("OL");
    } else if (m_d.m_bSubMode) {
        const float ref = std::fabs(m_d.m_fReference);
        const float percent = ref == 0.0f ? 0.0f : m_d.m_fRelValue * 100.0f / ref;
        main = LcdText::Number(percent, 1);
    } else {
        main = LcdText::Number(m_d.m_fRelValue, decimals);
    }
    const QSize deltaSize = LcdPictureSize(LcdPicture::Delta);
    const QRect delta(QPoint(m_nW - deltaSize.width() - 5, m_nH / 2 - 35), deltaSize);
    const bool percentSign = !over && m_d.m_bSubMode;
    const int room = delta.left() - 3 - (percentSign ? 10 + m_measure.TextWidth(LcdFonts::Big, QStringLiteral("%")) : 0);
    LcdScene s = Begin(main, room);
    const int valueIndex = int(s.items.size()) - 1;
    if (percentSign) {
        const int tw = s.items[valueIndex].rect.width();
        LcdItem pct;
        pct.kind = LcdItem::Kind::Text;
        pct.role = LcdRole::Percent;
        pct.text = QStringLiteral("%");
        pct.font = LcdFonts::Big;
        pct.rgb = LcdColor::Black;
        const int pw = m_measure.TextWidth(LcdFonts::Big, pct.text);
        pct.rect = QRect(m_nW / 2 + 10 + tw / 2, m_nH / 2 - m_nBigL, pw, m_nBigL);
        s.items.push_back(pct);
    }
    {
        // The value (and its percent sign) must not touch the delta mark: they move left
        // together until they clear it.
        const LcdItem& last = s.items.back();
        const int overlap = last.rect.right() + 3 - delta.left();
        if (overlap > 0 && last.rect.intersects(delta.adjusted(-3, 0, 0, 0))) {
            const int shift = qMin(overlap, s.items[valueIndex].rect.left());
            for (int i = valueIndex; i < s.items.size(); ++i)
                s.items[i].rect.translate(-shift, 0);
        }
    }
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    UnitLegend(s, LegendRowFor(3, m_d));
    ModeLegend(s, LcdPicture::Rel);
    Hold(s, 3);
    Range(s, false); // the relative display always shows Manual Range
    Picture(s, LcdPicture::Delta, delta.left(), delta.top());
    Bar(s, 3);

    const bool degrees = m_d.m_strUnit == QStringLiteral(u"\u2109") || m_d.m_strUnit == QStringLiteral(u"\u2103");
    auto line = [&](int y, const QString& label, const QString& number) {
        // The degree units are pictures; their place in the line stays free for them.
        const QString unitText = degrees ? QString() : m_d.m_strUnit;
        Row(s, y, { { 30, label }, { 100, number }, { 180, unitText } });
        if (degrees) {
            const LcdPicture sign = m_d.m_strUnit == QStringLiteral(u"\u2109") ? LcdPicture::Fahrenheit
                                                                               : LcdPicture::Celsius;
            Picture(s, sign, qMin(180, m_nW - 2 - LcdPictureSize(sign).width()), y);
        }
    };
    const int y1 = BelowBar(s, m_nH / 2 + m_nSmallL);
    const int y2 = y1 + m_nSmallL;
    line(y1, QStringLiteral("Reference"),
        m_d.m_fReference > limit ? QStringLiteral("OL") : LcdText::Number(m_d.m_fReference, decimals));
    line(y2, QString(), m_d.m_fValue > limit ? QStringLiteral("OL") : LcdText::Number(m_d.m_fValue, decimals));
    return s;
}

LcdScene LcdLayout::Peak(const QString& /*unit*/, float value, int decimals) const
{
    LcdScene s = Begin(MainReading(value, decimals));
    const LcdText::Moment now = LcdText::RunClock(m_d);
    ClockAndDate(s, now.year, now.month, now.day, now.hour, now.minute);
    UnitLegend(s, LegendRowFor(4, m_d));
    ModeLegend(s, LcdPicture::Peak);
    Hold(s, 4);
    Range(s, m_d.m_bAutoRange);

    const float limit = m_d.m_fLimit;
    const int y0 = m_nH / 2;
    if (!m_d.m_bSubMode) {
        auto shortUnit = [](const QString& u) { return u.left(qMax(0, int(u.size()) - 2)); };
        auto stat = [&](int y, const char* label, const MeterStat& st, const QString& unit) {
            StatLine(s, y, label, LcdText::Reading(st.m_fValue, st.m_nDecimals, limit), unit, st.m_strTime);
        };
        stat(y0, "PeakMax", m_d.m_statMax, shortUnit(m_d.m_statMax.m_strUnit));
        stat(y0 + m_nSmallL, "Average", m_d.m_statAvg, m_d.m_statAvg.m_strUnit);
        stat(y0 + 2 * m_nSmallL, "PeakMin", m_d.m_statMin, shortUnit(m_d.m_statMin.m_strUnit));
        StartLine(s, y0 + 3 * m_nSmallL, m_d.m_strStart);
    } else {
        const QString cf = LcdText::CrestFactor(m_d.m_statMax.m_fValue, m_d.m_statMin.m_fValue, m_d.m_fValue);
        Bar(s, 4);
        Row(s, BelowBar(s, y0 + m_nSmallL), { { 100, cf }, { 150, QStringLiteral("Crest Factor") } });
    }
    return s;
}

LcdScene LcdLayout::DualDisplay(const QString& /*unit*/, float value, int decimals) const
{
    const float limit = m_d.m_fLimit;
    QString main;
    if (m_d.m_nSubKind != 3) {
        // The combined value carries one decimal more; it has no negative over-range text.
        main = m_d.m_fValue > limit ? QStringLiteral("OL") : LcdText::Number(value, decimals + 1);
    } else {
        main = LcdText::Reading(m_d.m_fAltValue, decimals, limit);
    }
    LcdScene s = Begin(main);
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    UnitLegend(s, LegendRowFor(5, m_d));
    Hold(s, 5);
    Range(s, m_d.m_bAutoRange);
    if (m_d.m_nSubKind == 3) {
        const int y = m_nH / 2 + 2 * m_nSmallL;
        Row(s, y, { { 100, LcdText::Number(m_d.m_fSubValue, decimals) }, { 180, m_d.m_strSubUnit } });
    }
    return s;
}

// The unit text of the auxiliary reading arrives as four characters exactly as sent; padding
// bytes and other control characters have no picture and are left out when drawing.
static QString Printable(const QString& raw)
{
    QString out;
    for (QChar c : raw) {
        if (c.isPrint())
            out += c;
    }
    return out;
}

LcdScene LcdLayout::AuxReading(const QString& /*unit*/, float value, int decimals) const
{
    LcdScene s = Begin(MainReading(value, decimals));
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    UnitLegend(s, LegendRowFor(6, m_d));
    Hold(s, 6);
    Range(s, m_d.m_bAutoRange);
    const float aux = LcdText::PositiveZero(m_d.m_fAux);
    const int y = m_nH / 2 + 2 * m_nSmallL;
    Row(s, y, { { 100, aux >= 100.0f ? QStringLiteral("OL") : LcdText::Number(aux, 2) }, { 180, Printable(m_d.m_strAux) } });
    return s;
}

LcdScene LcdLayout::Frequency(const QString& unit, float value) const
{
    LcdScene s = Begin(LcdText::Frequency(value));
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    UnitLegend(s, LegendRowFor(7, m_d));
    Hold(s, 7);
    Range(s, m_d.m_bAutoRange);
    const int y = m_nH / 2 + 2 * m_nSmallL;
    if (!m_d.m_bSubMode) {
        if (!m_d.m_bSubMode3) {
            Row(s, y, { { 100, LcdText::Number(m_d.m_fDuty, 2) }, { 180, QStringLiteral("%") } });
        }
    } else {
        const QString width = LcdText::PulseWidth(unit, value, m_d.m_fDuty);
        if (!width.isEmpty()) {
            Row(s, y, { { 100, width }, { 180, QStringLiteral("ms") } });
        }
    }
    return s;
}

LcdScene LcdLayout::ForMode(int mode) const
{
    const QString& unit = m_d.m_strUnit;
    const float value = m_d.m_fValue;
    const int decimals = m_d.m_nDecimals;
    switch (mode) {
    case 1:
        return Normal(unit, value, decimals);
    case 2:
        return MinMax(unit, value, decimals);
    case 3:
        return Relative(unit, value, decimals);
    case 4:
        return Peak(unit, value, decimals);
    case 5:
        return DualDisplay(unit, value, decimals);
    case 6:
        return AuxReading(unit, value, decimals);
    case 7:
        return Frequency(unit, value);
    default:
        break;
    }
    if (mode == kOscilloscopeMode)
        return Oscilloscope();
    LcdScene s = Begin(QString());
    if (mode == -1) {
        Picture(s, LcdPicture::NoRecv, m_nW / 2 - 95, m_nH / 2 - 40, LcdRole::NoRecv);
    }
    return s;
}

LcdScene LcdLayout::Oscilloscope() const
{
    // The meter's own screen shows the waveform; the panel keeps its clock and says where the
    // reading went, rather than going blank.
    LcdScene s = Begin(QStringLiteral("OSC"));
    ClockAndDate(s, m_d.m_byYear, m_d.m_byMonth, m_d.m_byDay, m_d.m_byHour, m_d.m_byMinute);
    const QString line = QStringLiteral("Oscilloscope active");
    const int tw = m_measure.TextWidth(LcdFonts::Small, line);
    Text(s, qMax(0, m_nW / 2 - tw / 2), m_nH / 2 + m_nSmallL, line);
    return s;
}
