#include "datalog/DataLogExport.h"

#include "datalog/DataLogText.h"
#include "platform/SafeSave.h"
#include "platform/Workbook.h"

#include <QDir>
#include <QLocale>
#include <QtEndian>
#include <cmath>

namespace datalog_export {

using datalog_text::Place;
using datalog_text::ValueText;

namespace {

void appendUtf16Le(QByteArray& out, const QString& text)
{
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
#else
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        out.append(char(u & 0xFF)).append(char(u >> 8));
    }
#endif
}

void appendCsvField(QByteArray& out, QStringView s)
{
    const QByteArray f = s.toUtf8();
    if (!f.contains(',') && !f.contains('"') && !f.contains('\r') && !f.contains('\n')) {
        out += f;
        return;
    }
    out += '"';
    for (const char c : f) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

QByteArray csvValue(double v)
{
    const QString t = ValueText(v, Place::Export);
    if (t.isEmpty() || t == QLatin1String("OL"))
        return t.toLatin1();
    return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

QString changedMessage(const QString& path)
{
    return QStringLiteral("Cannot save \"%1\": the document changed during the export.")
        .arg(QDir::toNativeSeparators(path));
}

qsizetype lastPoint(const CDataSeries& s)
{
    qsizetype last = s.Size() - 1;
    while (last >= 0 && s.IsNull(last))
        --last;
    return last;
}

} // namespace

Format FormatOf(const QString& path)
{
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return Format::Csv;
    if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return Format::Xlsx;
    return Format::Xls;
}

CTextExport::CTextExport(const CDataLog& log, Format format, ByteSink sink)
    : m_log(log)
    , m_format(format)
    , m_out(std::move(sink))
{
    const CDataSeries& s = log.m_arrSeries[0];
    m_last = lastPoint(s);
    m_total = datalog_text::PointCount(s);
}

void CTextExport::Header()
{
    if (m_format == Format::Csv) {
        m_out.Out() += "index,time,unit,value,type\r\n";
        return;
    }
    const QString eol = QStringLiteral("\t\r\n");
    const datalog_text::StatTexts st = datalog_text::StatisticsTexts(m_log, Place::Export);
    QString text;
    text += QChar(0xFEFF); // the byte order mark: FF FE
    text += QStringLiteral("StartTime\t") + m_log.m_strStartTime + eol;
    text += QStringLiteral("Max\t") + st.max;
    if (st.maxSet)
        text += QStringLiteral(" @ ") + m_log.m_strMaxTime;
    text += eol;
    text += QStringLiteral("Min\t") + st.min;
    if (st.minSet)
        text += QStringLiteral(" @ ") + m_log.m_strMinTime;
    text += eol;
    text += QStringLiteral("Average\t") + st.average + eol;
    text += QStringLiteral("EndTime\t");
    text += m_log.m_arrSeries[0].DateTimeView(m_last);
    text += eol;
    text += QStringLiteral("ID\tUnit\tValue\tType\tDateTime\t\r\n");
    appendUtf16Le(m_out.Out(), text);
}

void CTextExport::Row(qsizetype i)
{
    const CDataSeries& s = m_log.m_arrSeries[0];
    QByteArray& out = m_out.Out();
    if (m_format == Format::Csv) {
        out += QByteArray::number(i + 1);
        out += ',';
        appendCsvField(out, s.DateTimeView(i));
        out += ',';
        appendCsvField(out, s.Unit(i));
        out += ',';
        out += csvValue(s.Value(i));
        out += ',';
        appendCsvField(out, s.Type(i));
        out += "\r\n";
        return;
    }
    const QChar tab = QLatin1Char('\t');
    m_line.resize(0);
    m_line += QString::number(++m_number);
    m_line += tab;
    m_line += s.Unit(i);
    m_line += tab;
    m_line += ValueText(s.Value(i), Place::Export);
    m_line += tab;
    m_line += s.Type(i);
    m_line += tab;
    m_line += s.DateTimeView(i);
    m_line += QStringLiteral("\t\r\n");
    appendUtf16Le(out, m_line);
}

bool CTextExport::Step(qsizetype points)
{
    if (!m_out.Ok())
        return false;
    const CDataSeries& s = m_log.m_arrSeries[0];
    if (m_last >= s.Size())
        return false; // the document lost points under the export
    if (!m_started) {
        m_started = true;
        if (m_format == Format::Xls && m_total == 0)
            return true; // nothing at all is written
        Header();
    }
    for (qsizetype n = 0; n < points && m_next <= m_last; ++m_next) {
        if (s.IsNull(m_next))
            continue;
        Row(m_next);
        ++m_done;
        ++n;
        if (!m_out.Spill())
            return false;
    }
    if (AtEnd())
        return m_out.Flush();
    return m_out.Ok();
}

namespace {

class CTextExportFile : public CExportFile {
public:
    CTextExportFile(const QString& path, const CDataLog& log, Format format)
        : m_save(path)
        , m_text(log, format, [this](const char* data, qint64 size) { return m_save.Write(data, size); })
    {
    }
    bool Open(QString* message) { return m_save.Open(message); }
    bool Step(qsizetype points) override { return m_text.Step(points); }
    bool AtEnd() const override { return m_text.AtEnd(); }
    qsizetype Done() const override { return m_text.Done(); }
    qsizetype Total() const override { return m_text.Total(); }
    bool Complete(QString* message) override
    {
        // The last Step hands everything on; an export that never stepped writes its header.
        if (m_text.AtEnd() && m_text.Step(0))
            return true;
        if (m_save.Failed())
            return m_save.Commit(message); // says why and drops the file
        m_save.Cancel();
        if (message)
            *message = changedMessage(m_save.Path());
        return false;
    }
    bool Commit(QString* message, const std::atomic<bool>* stop) override
    {
        if (stop && stop->load()) {
            m_save.Cancel();
            return false;
        }
        return m_save.Commit(message);
    }

private:
    CSafeSave m_save;
    CTextExport m_text;
};

// "2026/05/12 14:07:33" (a recording) or "12/5/2026 14:7:33" (a logger download).
bool parseStamp(QStringView t, int f[6])
{
    int n = 0;
    int value = -1;
    for (const QChar c : t) {
        if (c.isDigit()) {
            if (value > 100000)
                return false;
            value = (value < 0 ? 0 : value * 10) + c.digitValue();
        } else if (value >= 0) {
            if (n == 6)
                return false;
            f[n++] = value;
            value = -1;
        }
    }
    if (value >= 0) {
        if (n == 6)
            return false;
        f[n++] = value;
    }
    if (n != 6)
        return false;
    if (f[0] < 1000 && f[2] >= 1000)
        std::swap(f[0], f[2]); // day first
    return f[0] >= 1900 && f[0] <= 9999 && f[1] >= 1 && f[1] <= 12 && f[2] >= 1 && f[2] <= 31 && f[3] <= 23
        && f[4] <= 59 && f[5] <= 59;
}

class CXlsxExportFile : public CExportFile {
public:
    explicit CXlsxExportFile(const CDataLog& log)
        : m_log(log)
    {
        const CDataSeries& s = log.m_arrSeries[0];
        m_last = lastPoint(s);
        m_total = datalog_text::PointCount(s);
    }
    bool Open(const QString& path, QString* message)
    {
        m_path = path;
        if (!m_book.Open(path, QStringLiteral("DataLog"), message))
            return false;
        const datalog_text::StatTexts st = datalog_text::StatisticsTexts(m_log, Place::Export);
        m_book.ColumnWidth(0, 12);
        m_book.ColumnWidth(1, 10);
        m_book.ColumnWidth(4, 20);
        m_book.Text(0, 0, QStringLiteral("StartTime"));
        stamp(0, 1, m_log.m_strStartTime);
        extreme(1, QStringLiteral("Max"), st.max, st.maxSet, m_log.m_dMax, m_log.m_strMaxTime);
        extreme(2, QStringLiteral("Min"), st.min, st.minSet, m_log.m_dMin, m_log.m_strMinTime);
        m_book.Text(3, 0, QStringLiteral("Average"));
        value(3, 1, m_log.m_dAverage, st.average);
        m_book.Text(4, 0, QStringLiteral("EndTime"));
        if (m_last >= 0)
            stamp(4, 1, m_log.m_arrSeries[0].DateTime(m_last));
        static const char* const kHeads[] = { "ID", "Unit", "Value", "Type", "DateTime" };
        for (int c = 0; c < 5; ++c)
            m_book.Text(5, c, QString::fromLatin1(kHeads[c]));
        if (!m_book.Failed())
            return true;
        m_book.Close(message); // says why and drops the workbook
        return false;
    }
    bool Step(qsizetype points) override
    {
        const CDataSeries& s = m_log.m_arrSeries[0];
        if (m_last >= s.Size())
            return false;
        for (qsizetype n = 0; n < points && m_next <= m_last; ++m_next) {
            if (s.IsNull(m_next))
                continue;
            const int row = int(6 + m_done);
            ++m_done;
            ++n;
            m_book.Number(row, 0, double(m_done));
            m_book.Text(row, 1, s.Unit(m_next));
            value(row, 2, s.Value(m_next), ValueText(s.Value(m_next), Place::Export));
            m_book.Text(row, 3, s.Type(m_next));
            stamp(row, 4, s.DateTimeView(m_next));
        }
        return !m_book.Failed();
    }
    bool AtEnd() const override { return m_next > m_last; }
    qsizetype Done() const override { return m_done; }
    qsizetype Total() const override { return m_total; }
    bool Complete(QString* message) override
    {
        if (m_book.Failed())
            return m_book.Close(message); // says why and drops the workbook
        if (AtEnd())
            return true;
        m_book.Cancel();
        if (message)
            *message = changedMessage(m_path);
        return false;
    }
    bool Commit(QString* message, const std::atomic<bool>* stop) override { return m_book.Close(message, stop); }

private:
    void value(int row, int col, double v, const QString& shown)
    {
        if (shown.isEmpty() || shown == QLatin1String("OL"))
            m_book.Text(row, col, shown);
        else
            m_book.Number(row, col, v, 4);
    }
    void extreme(int row, const QString& name, const QString& shown, bool set, double v, const QString& time)
    {
        m_book.Text(row, 0, name);
        if (set)
            value(row, 1, v, shown);
        else
            m_book.Text(row, 1, shown);
        if (set)
            stamp(row, 2, time);
    }
    void stamp(int row, int col, QStringView t)
    {
        int f[6];
        if (parseStamp(t, f))
            m_book.DateTime(row, col, f[0], f[1], f[2], f[3], f[4], f[5]);
        else
            m_book.Text(row, col, t.toString());
    }

    const CDataLog& m_log;
    QString m_path;
    CWorkbook m_book;
    qsizetype m_next = 0;
    qsizetype m_last = -1;
    qsizetype m_total = 0;
    qsizetype m_done = 0;
};

} // namespace

std::unique_ptr<CExportFile> CExportFile::Open(const QString& path, const CDataLog& log, Format format, QString* message)
{
    if (format == Format::Xls && datalog_text::PointCount(log.m_arrSeries[0]) == 0) {
        if (message)
            *message = QStringLiteral("The document holds no reading to export.");
        return nullptr;
    }
    if (format == Format::Xlsx) {
        auto file = std::make_unique<CXlsxExportFile>(log);
        if (!file->Open(path, message))
            return nullptr;
        return file;
    }
    auto file = std::make_unique<CTextExportFile>(path, log, format);
    if (!file->Open(message))
        return nullptr;
    return file;
}

bool WriteExport(const QString& path, const CDataLog& log, Format format, QString* message)
{
    const std::unique_ptr<CExportFile> file = CExportFile::Open(path, log, format, message);
    return file && file->Run(message);
}

} // namespace datalog_export
