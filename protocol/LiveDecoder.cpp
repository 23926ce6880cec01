#include "protocol/LiveDecoder.h"

#include "protocol/FrameFields.h"
#include "protocol/MeterTime.h"

#include <QMetaMethod>
#include <cstdio>

namespace {

QString Latin1(const char* text)
{
    return QString::fromLatin1(text);
}

void ScaleStat(MeterStat& stat)
{
    const UnitNormalisation n = NormaliseUnit(stat.m_strUnit, UnitRules::MinMaxStat);
    stat.m_strUnit = n.unit;
    stat.m_fValue /= n.divisor;
}

} // namespace

CLiveDecoder::CLiveDecoder(QObject* parent)
    : QObject(parent)
{
    qRegisterMetaType<MeterEvent>("MeterEvent");
}

void CLiveDecoder::Decode(int mode, std::string_view frame, bool savedReadings)
{
    switch (mode) {
    case 1:
        DecodeNormal(frame, savedReadings);
        break;
    case 2:
        DecodeMinMax(frame, savedReadings);
        break;
    case 3:
        DecodeRelative(frame, savedReadings);
        break;
    case 4:
        DecodePeak(frame, savedReadings);
        break;
    case 5:
        DecodeDcAc(frame, savedReadings);
        break;
    case 6:
        DecodeDualAc(frame, savedReadings);
        break;
    case 7:
        DecodeFrequency(frame, savedReadings);
        break;
    default:
        break;
    }
}

void CLiveDecoder::ReadStatus(uint8_t status, bool withBit4)
{
    MeterData& d = m_MeterData;
    d.m_bHold = status & 0x01;
    d.m_bAutoRange = !(status & 0x02);
    d.m_bSubMode = status & 0x04;
    d.m_bSubMode2 = status & 0x08;
    if (withBit4)
        d.m_bSubMode3 = status & 0x10;
}

void CLiveDecoder::ReadClock(std::string_view frame, int k)
{
    MeterData& d = m_MeterData;
    d.m_byYear = FrameBcd(frame, k);
    d.m_byMonth = FrameBcd(frame, k + 1);
    d.m_byDay = FrameBcd(frame, k + 2);
    d.m_byHour = FrameBcd(frame, k + 3);
    d.m_byMinute = FrameBcd(frame, k + 4);
    d.m_bySecond = FrameBcd(frame, k + 5);
}

void CLiveDecoder::ReadFlags(uint8_t flags)
{
    m_MeterData.m_b24Hour = flags & 0x01;
    m_MeterData.m_bMonthFirst = flags & 0x02;
}

void CLiveDecoder::DecodeNormal(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    d.m_strFunction = FunctionName(FrameByte(frame, 2));
    ReadStatus(FrameByte(frame, 3), false);
    d.m_fValue = FrameFloatAt(frame, 4);
    d.m_fLimit = FrameFloatAt(frame, 8);
    d.m_nDecimals = DecimalsFromCode(FrameByte(frame, 16));
    const UnitNormalisation n = NormaliseUnit(FrameUnitText(frame, 12), UnitRules::Normal);
    d.m_strUnit = n.unit;
    d.m_fValue /= n.divisor;
    d.m_fLimit /= n.divisor;
    // Capacitance is shown with one digit less than the meter's code says.
    if (n.capacitance)
        d.m_nDecimals -= 1;
    ReadClock(frame, 17);
    ReadFlags(FrameByte(frame, 23));
    Finish(1, frame, savedReadings, ClockDateText(), false);
}

void CLiveDecoder::DecodeMinMax(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    d.m_strFunction = FunctionName(FrameByte(frame, 2));
    ReadStatus(FrameByte(frame, 3), false);
    d.m_fValue = FrameFloatAt(frame, 4);
    d.m_statMax.m_fValue = FrameFloatAt(frame, 8);
    d.m_statMin.m_fValue = FrameFloatAt(frame, 12);
    d.m_statAvg.m_fValue = FrameFloatAt(frame, 16);
    d.m_fLimit = FrameFloatAt(frame, 20);
    const uint8_t packed = FrameByte(frame, 24);
    d.m_nDecimals = PackedDecimals(packed, 0);
    d.m_statMax.m_nDecimals = PackedDecimals(packed, 1);
    d.m_statMin.m_nDecimals = PackedDecimals(packed, 2);
    d.m_statAvg.m_nDecimals = PackedDecimals(packed, 3);
    d.m_statMax.m_strUnit = FrameUnitText(frame, 29).trimmed();
    d.m_statMin.m_strUnit = FrameUnitText(frame, 33).trimmed();
    d.m_statAvg.m_strUnit = FrameUnitText(frame, 37).trimmed();

    const UnitNormalisation n = NormaliseUnit(FrameUnitText(frame, 25), UnitRules::MinMaxMain);
    d.m_strUnit = n.unit;
    d.m_fValue /= n.divisor;
    d.m_fLimit /= n.divisor;
    if (n.frequency)
        d.m_strFunction = Latin1("HZ");
    if (n.temperature) {
        d.m_statMax.m_strUnit = n.unit;
        d.m_statMin.m_strUnit = n.unit;
        d.m_statAvg.m_strUnit = n.unit;
    }
    ScaleStat(d.m_statMax);
    ScaleStat(d.m_statMin);
    ScaleStat(d.m_statAvg);

    d.m_statMax.m_strTime = FrameTimeText(frame, 41);
    d.m_statMin.m_strTime = FrameTimeText(frame, 44);
    d.m_statAvg.m_strTime = FrameTimeText(frame, 47);
    d.m_byElapsedH = FrameBcd(frame, 47);
    d.m_byElapsedM = FrameBcd(frame, 48);
    d.m_byElapsedS = FrameBcd(frame, 49);
    ReadClock(frame, 50);

    bool warning = false;
    const QString date = RecordingStartText(warning);
    Finish(2, frame, savedReadings, date, warning);
}

void CLiveDecoder::DecodeRelative(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    d.m_strFunction = FunctionName(FrameByte(frame, 2));
    ReadStatus(FrameByte(frame, 3), false);
    d.m_fValue = FrameFloatAt(frame, 4);
    d.m_fReference = FrameFloatAt(frame, 8);
    d.m_fRelValue = FrameFloatAt(frame, 12);
    d.m_fLimit = FrameFloatAt(frame, 16);
    const UnitNormalisation n = NormaliseUnit(FrameUnitText(frame, 20), UnitRules::Relative);
    d.m_strUnit = n.unit;
    d.m_fValue /= n.divisor;
    d.m_fLimit /= n.divisor;
    d.m_fReference /= n.divisor;
    d.m_fRelValue /= n.divisor;
    if (n.frequency)
        d.m_strFunction = Latin1("HZ");
    d.m_nDecimals = DecimalsFromCode(FrameByte(frame, 24));
    ReadClock(frame, 25);
    ReadFlags(FrameByte(frame, 31));
    Finish(3, frame, savedReadings, ClockDateText(), false);
}

void CLiveDecoder::DecodePeak(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    d.m_strFunction = FunctionName(FrameByte(frame, 2));
    ReadStatus(FrameByte(frame, 3), false);
    d.m_fValue = FrameFloatAt(frame, 4);
    d.m_statMax.m_fValue = FrameFloatAt(frame, 8);
    d.m_statMin.m_fValue = FrameFloatAt(frame, 12);
    d.m_statAvg.m_fValue = FrameFloatAt(frame, 16);
    d.m_fLimit = FrameFloatAt(frame, 20);
    d.m_strUnit = FrameUnitText(frame, 24).trimmed();
    d.m_statMax.m_strUnit = d.m_strUnit;
    d.m_statMin.m_strUnit = d.m_strUnit;
    d.m_statAvg.m_strUnit = d.m_strUnit;
    const uint8_t packed = FrameByte(frame, 28);
    d.m_nDecimals = PackedDecimals(packed, 0);
    d.m_statMax.m_nDecimals = PackedDecimals(packed, 1);
    d.m_statMin.m_nDecimals = PackedDecimals(packed, 2);
    d.m_statAvg.m_nDecimals = PackedDecimals(packed, 3);
    d.m_statMax.m_strTime = FrameTimeText(frame, 29);
    d.m_statMin.m_strTime = FrameTimeText(frame, 32);
    d.m_statAvg.m_strTime = FrameTimeText(frame, 35);
    d.m_byElapsedH = FrameBcd(frame, 35);
    d.m_byElapsedM = FrameBcd(frame, 36);
    d.m_byElapsedS = FrameBcd(frame, 37);
    ReadClock(frame, 38);

    // The start stamp: day/month/year and a 12-hour time, the digits as sent.
    const uint8_t y = FrameByte(frame, 38), mo = FrameByte(frame, 39), dd = FrameByte(frame, 40);
    const uint8_t h = FrameByte(frame, 41), mi = FrameByte(frame, 42), s = FrameByte(frame, 43);
    char buf[64];
    if (h <= 0x12)
        std::snprintf(buf, sizeof buf, "%.2x/%.2x/%.2x %.2x:%.2x:%.2x am", dd, mo, y, h, mi, s);
    else
        std::snprintf(buf, sizeof buf, "%.2x/%.2x/%.2x %.2d:%.2x:%.2x pm", dd, mo, y, d.m_byHour - 12, mi, s);
    d.m_strStart = Latin1(buf);

    bool warning = false;
    const QString date = RecordingStartText(warning);
    Finish(4, frame, savedReadings, date, warning);
}

void CLiveDecoder::DecodeDcAc(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    d.m_strFunction = FunctionName(FrameByte(frame, 2));
    ReadStatus(FrameByte(frame, 3), false);
    d.m_fAltValue = FrameFloatAt(frame, 4);
    d.m_fSubValue = FrameFloatAt(frame, 8);
    d.m_fValue = FrameFloatAt(frame, 12);
    const QString base = FrameUnitText(frame, 16).trimmed();
    d.m_fLimit = FrameFloatAt(frame, 20);
    d.m_nDecimals = DecimalsFromCode(FrameByte(frame, 24));
    d.m_nSubKind = FrameByte(frame, 25);
    if (d.m_nSubKind == 2) {
        d.m_nDecimals -= 1;
        d.m_strUnit = Latin1("dc+ac");
    } else {
        d.m_strSubUnit = base + QLatin1String("AC");
        d.m_strUnit = base + QLatin1String("DC");
        d.m_strAltUnit = d.m_strUnit;
    }
    ReadClock(frame, 26);
    ReadFlags(FrameByte(frame, 32));
    Finish(5, frame, savedReadings, ClockDateText(), false);
}

void CLiveDecoder::DecodeDualAc(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    ReadStatus(FrameByte(frame, 2), false);
    d.m_fValue = FrameFloatAt(frame, 3);
    d.m_strUnit = FrameUnitText(frame, 7).trimmed();
    d.m_nDecimals = DecimalsFromCode(FrameByte(frame, 11));
    d.m_fLimit = FrameFloatAt(frame, 12);
    d.m_fAux = FrameFloatAt(frame, 16);
    d.m_strAux = FrameUnitText(frame, 20);
    d.m_strFunction = Latin1("VAC");
    ReadClock(frame, 24);
    ReadFlags(FrameByte(frame, 30));
    Finish(6, frame, savedReadings, ClockDateText(), false);
}

void CLiveDecoder::DecodeFrequency(std::string_view frame, bool savedReadings)
{
    MeterData& d = m_MeterData;
    ReadStatus(FrameByte(frame, 2), true);
    float hz = FrameFloatAt(frame, 3);
    d.m_fDuty = FrameFloatAt(frame, 7) * 100.0f;
    d.m_strFunction = Latin1("HZ");
    if (hz > 500000.0f) {
        hz /= 1000000.0f;
        d.m_strUnit = Latin1("MHZ");
    } else if (hz > 500.0f) {
        hz /= 1000.0f;
        d.m_strUnit = Latin1("KHZ");
    } else {
        d.m_strUnit = Latin1("HZ");
    }
    d.m_fValue = hz;
    ReadClock(frame, 11);
    ReadFlags(FrameByte(frame, 17));
    Finish(7, frame, savedReadings, ClockDateText(), false);
}

QString CLiveDecoder::ClockDateText() const
{
    const MeterData& d = m_MeterData;
    const int first = d.m_bMonthFirst ? d.m_byMonth : d.m_byDay;
    const int second = d.m_bMonthFirst ? d.m_byDay : d.m_byMonth;
    char buf[64];
    std::snprintf(
        buf, sizeof buf, "%d/%d/%d %d:%d:%d", first, second, d.m_byYear, d.m_byHour, d.m_byMinute, d.m_bySecond);
    return Latin1(buf);
}

QString CLiveDecoder::RecordingStartText(bool& warning)
{
    MeterData& d = m_MeterData;
    warning = false;
    if (d.m_byMonth == 0 || d.m_byDay == 0) {
        // An unset meter clock comes with every frame; tell the user once per run of such frames.
        warning = !m_bDateWarned;
        m_bDateWarned = true;
        d.m_byMonth = 1;
        d.m_byDay = 1;
    } else {
        m_bDateWarned = false;
    }

    // The meter's clock has no zone: the elapsed time comes off by calendar arithmetic alone.
    const QDateTime start
        = meter_time::MeterClock(2000 + d.m_byYear, d.m_byMonth, d.m_byDay, d.m_byHour, d.m_byMinute, d.m_bySecond)
              .addSecs(-(d.m_byElapsedH * 3600 + d.m_byElapsedM * 60 + d.m_byElapsedS));
    if (!start.isValid())
        return QString();
    const QDate date = start.date();
    const QTime time = start.time();
    const int first = d.m_bMonthFirst ? date.month() : date.day();
    const int second = d.m_bMonthFirst ? date.day() : date.month();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d/%d/%d %d:%d:%d", first, second, date.year(), time.hour(), time.minute(),
        time.second());
    return Latin1(buf);
}

int CLiveDecoder::SavedKind(int mode, const MeterData& data)
{
    switch (mode) {
    case 1:
        return 1;
    case 2:
        return 2;
    case 3:
        return 3;
    case 4:
        return data.m_bSubMode ? 5 : 4;
    case 5:
        return data.m_nSubKind == 3 ? 6 : data.m_nSubKind == 2 ? 7 : 0;
    case 6:
        return 8;
    case 7:
        return 9;
    default:
        return 0;
    }
}

int CLiveDecoder::MoveDial(const QString& unit, bool frequencyPosition)
{
    // The GUI may reset the position at any time; classify against the value actually replaced.
    const bool subMode2 = m_MeterData.m_bSubMode2;
    auto classify = [&](int current) { return frequencyPosition ? kDialFrequency : ClassifyDial(unit, subMode2, current); };
    int dial = m_nDialPos.load();
    int newDial = classify(dial);
    while (!m_nDialPos.compare_exchange_weak(dial, newDial))
        newDial = classify(dial);
    return newDial;
}

void CLiveDecoder::EnterOscMode()
{
    emit oscModeEntered(MoveDial(QStringLiteral("OSC")));
}

void CLiveDecoder::Finish(int mode, std::string_view frame, bool savedReadings, const QString& dateText, bool warning)
{
    MeterData& d = m_MeterData;
    // A frequency frame without its duty line puts the dial on the frequency position. The
    // decoder is the one owner of the position; the panel only shows what the event carries.
    const int newDial = MoveDial(d.m_strUnit, mode == 7 && !d.m_bSubMode && d.m_bSubMode3);
    const int kind = SavedKind(mode, d);

    static const QMetaMethod signal = QMetaMethod::fromSignal(&CLiveDecoder::frameDecoded);
    if (isSignalConnected(signal)) {
        MeterEvent event;
        event.m_nMode = mode;
        event.m_bSavedFrame = frame.size() > 2 && frame[2] == '9';
        event.m_nSavedKind = savedReadings ? kind : 0;
        event.m_data = d;
        event.m_strDate = dateText;
        event.m_nDialPos = newDial;
        event.m_bDateWarning = warning;
        emit frameDecoded(event);
    }
}
