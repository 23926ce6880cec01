#pragma once
// Exact JSON for the program's text forms of its files: doubles written with 17 significant
// digits and floats with 9, so that every finite number comes back bit for bit; numbers JSON
// cannot hold are strings: "Infinity", "-Infinity", "NaN" (the plain quiet NaN) and "NaN:0x..."
// with the exact bits of any other NaN. Texts are UTF-8; a lone UTF-16 surrogate is kept as a
// \u escape. The reader checks the JSON grammar and reports the byte offset of a fault.
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <charconv>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <vector>

namespace exactjson {

constexpr quint64 kQuietNaN64 = 0x7FF8000000000000ull;
constexpr quint32 kQuietNaN32 = 0x7FC00000u;

// --- writing ---------------------------------------------------------------------------------

inline void putString(QByteArray& out, QStringView s)
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

template <typename F, typename Bits> inline void putReal(QByteArray& out, F v, int digits, Bits quietNaN)
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

inline void putDouble(QByteArray& out, double v)
{
    putReal(out, v, 17, kQuietNaN64);
}
inline void putFloat(QByteArray& out, float v)
{
    putReal(out, v, 9, kQuietNaN32);
}

inline void putKey(QByteArray& out, const char* key, bool first = false)
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
                // Exactly four hexadecimal digits: no sign, blank or "0x" as a number parser
                // would let through.
                char16_t code = 0;
                for (int i = 0; i < 4; ++i) {
                    const char c = m_p[i];
                    const int digit = c >= '0' && c <= '9' ? c - '0'
                        : c >= 'a' && c <= 'f'            ? c - 'a' + 10
                        : c >= 'A' && c <= 'F'            ? c - 'A' + 10
                                                          : -1;
                    if (digit < 0)
                        Fail(QStringLiteral("bad \\u escape"));
                    code = static_cast<char16_t>(code * 16 + digit);
                }
                out += QChar(code);
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
                if (m_seen & (quint64(1) << i))
                    return -1;
                m_seen |= quint64(1) << i;
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    const char* Missing() const
    {
        for (size_t i = 0; i < m_keys.size(); ++i) {
            if (!(m_seen & (quint64(1) << i)))
                return m_keys[i];
        }
        return nullptr;
    }

private:
    std::vector<const char*> m_keys;
    quint64 m_seen = 0;
};

} // namespace exactjson
