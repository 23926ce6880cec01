#include "protocol/MeterEventFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

class JsonWriter {
public:
    explicit JsonWriter(std::string& out)
        : m_out(out)
    {
    }
    void Open() { m_out += '{', m_first = true; }
    void Close() { m_out += '}', m_first = false; }
    void Key(const char* name)
    {
        if (!m_first)
            m_out += ',';
        m_first = false;
        m_out += '"';
        m_out += name;
        m_out += "\":";
    }
    void Int(const char* name, long long v)
    {
        Key(name);
        m_out += std::to_string(v);
    }
    void Bool(const char* name, bool v)
    {
        Key(name);
        m_out += v ? "true" : "false";
    }
    void Float(const char* name, float v)
    {
        Key(name);
        if (!std::isfinite(v)) {
            m_out += "null";
            return;
        }
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
        m_out += buf;
    }
    void String(const char* name, const QString& v)
    {
        Key(name);
        m_out += '"';
        const QByteArray utf8 = v.toUtf8();
        for (char ch : utf8) {
            const unsigned char c = static_cast<unsigned char>(ch);
            switch (c) {
            case '"':
                m_out += "\\\"";
                break;
            case '\\':
                m_out += "\\\\";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\r':
                m_out += "\\r";
                break;
            case '\t':
                m_out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    m_out += buf;
                } else {
                    m_out += ch;
                }
            }
        }
        m_out += '"';
    }
    void Stat(const char* name, const MeterStat& s)
    {
        Key(name);
        Open();
        Float("m_fValue", s.m_fValue);
        String("m_strUnit", s.m_strUnit);
        Int("m_nDecimals", s.m_nDecimals);
        String("m_strTime", s.m_strTime);
        Close();
    }

private:
    std::string& m_out;
    bool m_first = true;
};

} // namespace

std::string MeterEventToJson(const MeterEvent& event)
{
    std::string out;
    out.reserve(1024);
    JsonWriter w(out);
    const MeterData& d = event.m_data;
    w.Open();
    w.Int("mode", event.m_nMode);
    w.Int("saved", event.m_nSavedKind);
    w.String("date", event.m_strDate);
    w.Int("dial", event.m_nDialPos);
    w.Key("record");
    w.Open();
    w.String("m_strFunction", d.m_strFunction);
    w.Bool("m_bHold", d.m_bHold);
    w.Bool("m_bAutoRange", d.m_bAutoRange);
    w.Float("m_fLimit", d.m_fLimit);
    w.Float("m_fValue", d.m_fValue);
    w.String("m_strUnit", d.m_strUnit);
    w.Int("m_nDecimals", d.m_nDecimals);
    w.Stat("m_statMax", d.m_statMax);
    w.Stat("m_statMin", d.m_statMin);
    w.Stat("m_statAvg", d.m_statAvg);
    w.String("m_strStart", d.m_strStart);
    w.Float("m_fReference", d.m_fReference);
    w.Float("m_fRelValue", d.m_fRelValue);
    w.Float("m_fAltValue", d.m_fAltValue);
    w.String("m_strAltUnit", d.m_strAltUnit);
    w.Float("m_fSubValue", d.m_fSubValue);
    w.String("m_strSubUnit", d.m_strSubUnit);
    w.Int("m_nSubKind", d.m_nSubKind);
    w.Float("m_fAux", d.m_fAux);
    w.String("m_strAux", d.m_strAux);
    w.Float("m_fDuty", d.m_fDuty);
    w.Bool("m_bSubMode", d.m_bSubMode);
    w.Bool("m_bSubMode2", d.m_bSubMode2);
    w.Bool("m_bSubMode3", d.m_bSubMode3);
    w.Int("m_byYear", d.m_byYear);
    w.Int("m_byMonth", d.m_byMonth);
    w.Int("m_byDay", d.m_byDay);
    w.Int("m_byHour", d.m_byHour);
    w.Int("m_byMinute", d.m_byMinute);
    w.Int("m_bySecond", d.m_bySecond);
    w.Bool("m_b24Hour", d.m_b24Hour);
    w.Bool("m_bMonthFirst", d.m_bMonthFirst);
    w.Int("m_byElapsedH", d.m_byElapsedH);
    w.Int("m_byElapsedM", d.m_byElapsedM);
    w.Int("m_byElapsedS", d.m_byElapsedS);
    w.Close();
    w.Close();
    return out;
}

std::string MeterValueText(const MeterEvent& event)
{
    const MeterData& d = event.m_data;
    if (!std::isfinite(d.m_fValue))
        return std::string();
    char value[48];
    if (event.m_nMode == 7) {
        // Frequency readings carry no decimal count; the digits follow the size of the value.
        const char* format = d.m_fValue > 100.0f ? "%.2f" : d.m_fValue > 10.0f ? "%.3f" : "%.4f";
        std::snprintf(value, sizeof value, format, static_cast<double>(d.m_fValue));
    } else if (d.m_fLimit > 0.0f && (d.m_fValue > d.m_fLimit || d.m_fValue < -d.m_fLimit)) {
        std::snprintf(value, sizeof value, "OL");
    } else {
        const int decimals = std::clamp(d.m_nDecimals, 0, 9);
        std::snprintf(value, sizeof value, "%.*f", decimals, static_cast<double>(d.m_fValue));
    }
    return value;
}

std::string MeterEventToText(const MeterEvent& event)
{
    const MeterData& d = event.m_data;
    const std::string value = MeterValueText(event);
    std::string out;
    auto add = [&out](const std::string& part) {
        if (part.empty())
            return;
        if (!out.empty())
            out += ' ';
        out += part;
    };
    add(d.m_strFunction.toStdString());
    add(value);
    add(d.m_strUnit.toStdString());
    if (d.m_bHold)
        add("HOLD");
    add(event.m_strDate.toStdString());
    return out;
}
