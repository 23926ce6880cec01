#include "datalog/MLogJson.h"

#include <QLocale>
#include <QStringDecoder>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace mlog {

namespace {

constexpr quint64 kQuietNaN64 = 0x7FF8000000000000ull;
constexpr quint32 kQuietNaN32 = 0x7FC00000u;
constexpr double kOverRange = 500000.0;

// --- writing ---------------------------------------------------------------------------------

void putString(QByteArray& out, QStringView s)
{
    out += '"';
    const qsizetype n = s.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i].unicode();
        if (c == u'"' || c == u'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            switch (c) {
            case u'\n':
                out += "\\n";
                break;
            case u'\r':
                out += "\\r";
                break;
            case u'\t':
                out += "\\t";
                break;
            case u'\b':
                out += "\\b";
                break;
            case u'\f':
                out += "\\f";
                break;
            default:
                out += QByteArray("\\u") + QByteArray::number(c, 16).rightJustified(4, '0');
                break;
            }
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1].unicode())) {
            out += s.mid(i, 2).toUtf8();
            ++i;
        } else if (QChar::isSurrogate(c) || c == 0xFEFF) {
            // UTF-8 cannot carry a lone surrogate; the escape keeps it. A byte-order mark is
            // escaped too, as UTF-8 readers tend to drop it.
            out += QByteArray("\\u") + QByteArray::number(c, 16).rightJustified(4, '0');
        } else {
            out += s.mid(i, 1).toUtf8();
        }
    }
    out += '"';
}

template <typename F, typename Bits> void putReal(QByteArray& out, F v, int digits, Bits quietNaN)
{
    if (std::isnan(v)) {
        Bits bits;
        std::memcpy(&bits, &v, sizeof bits);
        if (bits == quietNaN)
            out += "\"NaN\"";
        else
            out += "\"NaN:0x" + QByteArray::number(static_cast<qulonglong>(bits), 16) + '"';
        return;
    }
    if (std::isinf(v)) {
        out += v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
        return;
    }
    char buf[64];
    // Same text as printf's %.17g / %.9g, but independent of the C locale.
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, digits);
    out.append(buf, r.ptr - buf);
}

void putDouble(QByteArray& out, double v)
{
    putReal(out, v, 17, kQuietNaN64);
}
void putFloat(QByteArray& out, float v)
{
    putReal(out, v, 9, kQuietNaN32);
}

void putKey(QByteArray& out, const char* key, bool first = false)
{
    if (!first)
        out += ',';
    out += '"';
    out += key;
    out += "\":";
}

// --- reading ---------------------------------------------------------------------------------

struct JsonError {
    qsizetype offset;
    QString what;
};

class CJsonReader {
public:
    explicit CJsonReader(const QByteArray& text)
        : m_p(text.constData())
        , m_begin(text.constData())
        , m_end(text.constData() + text.size())
    {
    }

    [[noreturn]] void Fail(const QString& what) const { throw JsonError { m_p - m_begin, what }; }

    void SkipSpace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n' || *m_p == '\r'))
            ++m_p;
    }
    char Peek()
    {
        SkipSpace();
        return m_p < m_end ? *m_p : '\0';
    }
    void Expect(char c)
    {
        if (Peek() != c)
            Fail(QStringLiteral("'%1' expected").arg(QLatin1Char(c)));
        ++m_p;
    }
    bool TryLiteral(const char* word)
    {
        SkipSpace();
        const size_t n = std::strlen(word);
        if (static_cast<size_t>(m_end - m_p) >= n && std::memcmp(m_p, word, n) == 0) {
            m_p += n;
            return true;
        }
        return false;
    }
    void ExpectEnd()
    {
        SkipSpace();
        if (m_p != m_end)
            Fail(QStringLiteral("unexpected text after the object"));
    }

    // Walks the members of an object, calling member(key) for each; member reads the value.
    template <typename Fn> void Object(Fn member)
    {
        Expect('{');
        if (Peek() == '}') {
            ++m_p;
            return;
        }
        QString key;
        for (;;) {
            String(key);
            Expect(':');
            member(key);
            if (Peek() == ',') {
                ++m_p;
                continue;
            }
            Expect('}');
            return;
        }
    }
    template <typename Fn> void Array(Fn element)
    {
        Expect('[');
        if (Peek() == ']') {
            ++m_p;
            return;
        }
        for (;;) {
            element();
            if (Peek() == ',') {
                ++m_p;
                continue;
            }
            Expect(']');
            return;
        }
    }

    void String(QString& out)
    {
        Expect('"');
        out.clear();
        const char* run = m_p;
        auto flush = [&] {
            if (m_p > run) {
                // Keeps a byte-order mark at the start of the run as a character.
                QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
                out += utf8.decode(QByteArrayView(run, m_p - run));
            }
        };
        while (m_p < m_end) {
            const char c = *m_p;
            if (c == '"') {
                flush();
                ++m_p;
                return;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                Fail(QStringLiteral("control character in a text"));
            if (c != '\\') {
                ++m_p;
                continue;
            }
            flush();
            if (m_end - m_p < 2)
                break;
            const char e = m_p[1];
            m_p += 2;
            switch (e) {
            case '"':
                out += u'"';
                break;
            case '\\':
                out += u'\\';
                break;
            case '/':
                out += u'/';
                break;
            case 'b':
                out += u'\b';
                break;
            case 'f':
                out += u'\f';
                break;
            case 'n':
                out += u'\n';
                break;
            case 'r':
                out += u'\r';
                break;
            case 't':
                out += u'\t';
                break;
            case 'u': {
                if (m_end - m_p < 4)
                    Fail(QStringLiteral("short \\u escape"));
                bool ok = false;
                const uint code = QByteArray(m_p, 4).toUInt(&ok, 16);
                if (!ok)
                    Fail(QStringLiteral("bad \\u escape"));
                out += QChar(static_cast<char16_t>(code));
                m_p += 4;
                break;
            }
            default:
                m_p -= 1;
                Fail(QStringLiteral("bad escape"));
            }
            run = m_p;
        }
        Fail(QStringLiteral("unterminated text"));
    }

    // A JSON number token, checked against the JSON grammar.
    std::pair<const char*, const char*> NumberToken()
    {
        SkipSpace();
        const char* start = m_p;
        const char* p = m_p;
        auto digits = [&] {
            const char* d = p;
            while (p < m_end && *p >= '0' && *p <= '9')
                ++p;
            return p > d;
        };
        if (p < m_end && *p == '-')
            ++p;
        if (p < m_end && *p == '0')
            ++p;
        else if (!digits())
            Fail(QStringLiteral("number expected"));
        if (p < m_end && *p == '.') {
            ++p;
            if (!digits())
                Fail(QStringLiteral("bad number"));
        }
        if (p < m_end && (*p == 'e' || *p == 'E')) {
            ++p;
            if (p < m_end && (*p == '+' || *p == '-'))
                ++p;
            if (!digits())
                Fail(QStringLiteral("bad number"));
        }
        m_p = p;
        return { start, p };
    }

    template <typename F, typename Bits> F Real(Bits quietNaN)
    {
        if (Peek() == '"') {
            QString s;
            String(s);
            F v {};
            if (s == QLatin1String("Infinity"))
                return std::numeric_limits<F>::infinity();
            if (s == QLatin1String("-Infinity"))
                return -std::numeric_limits<F>::infinity();
            if (s == QLatin1String("NaN")) {
                std::memcpy(&v, &quietNaN, sizeof v);
                return v;
            }
            if (s.startsWith(QLatin1String("NaN:0x"))) {
                bool ok = false;
                const qulonglong bits = s.mid(6).toULongLong(&ok, 16);
                if (ok && bits <= std::numeric_limits<Bits>::max()) {
                    const auto b = static_cast<Bits>(bits);
                    std::memcpy(&v, &b, sizeof v);
                    if (std::isnan(v))
                        return v;
                }
            }
            Fail(QStringLiteral("\"%1\" is not a number").arg(s));
        }
        const auto [start, stop] = NumberToken();
        F v {};
        const auto r = std::from_chars(start, stop, v);
        if (r.ec != std::errc() || r.ptr != stop)
            Fail(QStringLiteral("bad number"));
        return v;
    }
    double Double() { return Real<double>(kQuietNaN64); }
    float Float() { return Real<float>(kQuietNaN32); }

    qint32 Int32()
    {
        const auto [start, stop] = NumberToken();
        qint32 v = 0;
        const auto r = std::from_chars(start, stop, v);
        if (r.ec != std::errc() || r.ptr != stop)
            Fail(QStringLiteral("32-bit whole number expected"));
        return v;
    }

private:
    const char* m_p;
    const char* m_begin;
    const char* m_end;
};

// Tracks which of a fixed set of keys an object had.
class CKeySet {
public:
    explicit CKeySet(std::initializer_list<const char*> keys)
        : m_keys(keys)
    {
    }
    // Index of `key`, or -1 (also when it came before).
    int Take(const QString& key)
    {
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (key == QLatin1String(m_keys[i])) {
                if (m_seen & (1u << i))
                    return -1;
                m_seen |= 1u << i;
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    const char* Missing() const
    {
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (!(m_seen & (1u << i)))
                return m_keys[i];
        }
        return nullptr;
    }

private:
    std::vector<const char*> m_keys;
    unsigned m_seen = 0;
};

void readPoint(CJsonReader& in, CDataSeries& series)
{
    if (in.TryLiteral("null")) {
        series.AppendNull();
        return;
    }
    CKeySet keys { "m_dValue", "m_strUnit", "m_dSampleRate", "m_nIndex", "m_strDateTime", "m_strType", "m_fRange" };
    CObData p;
    in.Object([&](const QString& key) {
        switch (keys.Take(key)) {
        case 0:
            p.m_dValue = in.Double();
            break;
        case 1:
            in.String(p.m_strUnit);
            break;
        case 2:
            p.m_dSampleRate = in.Double();
            break;
        case 3:
            p.m_nIndex = in.Int32();
            break;
        case 4:
            in.String(p.m_strDateTime);
            break;
        case 5:
            in.String(p.m_strType);
            break;
        case 6:
            p.m_fRange = in.Float();
            break;
        default:
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\" in a point").arg(key));
        }
    });
    if (const char* missing = keys.Missing())
        in.Fail(QStringLiteral("a point lacks \"%1\"").arg(QLatin1String(missing)));
    series.Append(p);
}

void readDocument(CJsonReader& in, CDataLog& log)
{
    CKeySet keys { "series", "m_dAverage", "m_dMax", "m_strMaxTime", "m_dMin", "m_strMinTime", "m_dSampleRate",
        "m_dSum", "m_nDataNumber", "m_strStartTime", "m_strEndTime", "m_strType" };
    in.Object([&](const QString& key) {
        switch (keys.Take(key)) {
        case 0: {
            int n = 0;
            in.Array([&] {
                if (n >= CDataLog::kSeriesCount)
                    in.Fail(QStringLiteral("more than three series"));
                CDataSeries& s = log.m_arrSeries[static_cast<size_t>(n++)];
                in.Array([&] { readPoint(in, s); });
            });
            if (n != CDataLog::kSeriesCount)
                in.Fail(QStringLiteral("three series expected"));
            break;
        }
        case 1:
            log.m_dAverage = in.Double();
            break;
        case 2:
            log.m_dMax = in.Double();
            break;
        case 3:
            in.String(log.m_strMaxTime);
            break;
        case 4:
            log.m_dMin = in.Double();
            break;
        case 5:
            in.String(log.m_strMinTime);
            break;
        case 6:
            log.m_dSampleRate = in.Double();
            break;
        case 7:
            log.m_dSum = in.Double();
            break;
        case 8:
            log.m_nDataNumber = in.Int32();
            break;
        case 9:
            in.String(log.m_strStartTime);
            break;
        case 10:
            in.String(log.m_strEndTime);
            break;
        case 11:
            in.String(log.m_strType);
            break;
        default:
            in.Fail(QStringLiteral("unexpected or repeated key \"%1\"").arg(key));
        }
    });
    if (const char* missing = keys.Missing())
        in.Fail(QStringLiteral("the document lacks \"%1\"").arg(QLatin1String(missing)));
    in.ExpectEnd();
}

QByteArray csvField(QStringView s)
{
    QByteArray f = s.toUtf8();
    if (f.contains(',') || f.contains('"') || f.contains('\r') || f.contains('\n')) {
        f.replace("\"", "\"\"");
        f = '"' + f + '"';
    }
    return f;
}

} // namespace

QByteArray ToJson(const CDataLog& log)
{
    QByteArray out;
    qsizetype points = 0;
    for (const CDataSeries& s : log.m_arrSeries)
        points += s.Size();
    out.reserve(512 + points * 200);

    out += "{\"series\":[";
    for (int si = 0; si < CDataLog::kSeriesCount; ++si) {
        const CDataSeries& s = log.m_arrSeries[static_cast<size_t>(si)];
        if (si)
            out += ',';
        out += '[';
        for (qsizetype i = 0; i < s.Size(); ++i) {
            if (i)
                out += ',';
            if (s.IsNull(i)) {
                out += "null";
                continue;
            }
            out += '{';
            putKey(out, "m_dValue", true);
            putDouble(out, s.Value(i));
            putKey(out, "m_strUnit");
            putString(out, s.Unit(i));
            putKey(out, "m_dSampleRate");
            putDouble(out, s.SampleRate(i));
            putKey(out, "m_nIndex");
            out += QByteArray::number(s.Index(i));
            putKey(out, "m_strDateTime");
            putString(out, s.DateTimeView(i));
            putKey(out, "m_strType");
            putString(out, s.Type(i));
            putKey(out, "m_fRange");
            putFloat(out, s.Range(i));
            out += '}';
        }
        out += ']';
    }
    out += ']';
    putKey(out, "m_dAverage");
    putDouble(out, log.m_dAverage);
    putKey(out, "m_dMax");
    putDouble(out, log.m_dMax);
    putKey(out, "m_strMaxTime");
    putString(out, log.m_strMaxTime);
    putKey(out, "m_dMin");
    putDouble(out, log.m_dMin);
    putKey(out, "m_strMinTime");
    putString(out, log.m_strMinTime);
    putKey(out, "m_dSampleRate");
    putDouble(out, log.m_dSampleRate);
    putKey(out, "m_dSum");
    putDouble(out, log.m_dSum);
    putKey(out, "m_nDataNumber");
    out += QByteArray::number(log.m_nDataNumber);
    putKey(out, "m_strStartTime");
    putString(out, log.m_strStartTime);
    putKey(out, "m_strEndTime");
    putString(out, log.m_strEndTime);
    putKey(out, "m_strType");
    putString(out, log.m_strType);
    out += '}';
    return out;
}

bool FromJson(const QByteArray& json, CDataLog& out, QString* why)
{
    CDataLog fresh;
    CJsonReader in(json);
    try {
        readDocument(in, fresh);
    } catch (const JsonError& e) {
        if (why)
            *why = QStringLiteral("%1 at byte %2").arg(e.what).arg(e.offset);
        return false;
    }
    out = std::move(fresh);
    return true;
}

QByteArray ToCsv(const CDataLog& log)
{
    const CDataSeries& s = log.m_arrSeries[0];
    QByteArray out = "index,time,unit,value,type\r\n";
    for (qsizetype i = 0; i < s.Size(); ++i) {
        if (s.IsNull(i))
            continue;
        const double v = s.Value(i);
        out += QByteArray::number(i + 1);
        out += ',';
        out += csvField(s.DateTimeView(i));
        out += ',';
        out += csvField(s.Unit(i));
        out += ',';
        if (v >= kOverRange || v <= -kOverRange)
            out += "OL";
        else
            out += QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        out += ',';
        out += csvField(s.Type(i));
        out += "\r\n";
    }
    return out;
}

} // namespace mlog
