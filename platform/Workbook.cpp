#include "platform/Workbook.h"

#include "platform/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <cmath>

#ifdef METER_HAVE_XLSXWRITER
#include <xlsxwriter.h>
#endif

struct CWorkbook::Impl {
    std::unique_ptr<CSafeSave> save;
    std::unique_ptr<QTemporaryFile> spool;
    QString path;
    bool failed = false;
    QString why;
#ifdef METER_HAVE_XLSXWRITER
    lxw_workbook* book = nullptr;
    lxw_worksheet* sheet = nullptr;
    lxw_format* decimals[5] = {};
    lxw_format* dateTime = nullptr;

    bool Check(lxw_error err)
    {
        if (err == LXW_NO_ERROR)
            return true;
        if (!failed) {
            failed = true;
            why = QString::fromUtf8(lxw_strerror(err));
        }
        return false;
    }
#endif
    void Drop()
    {
#ifdef METER_HAVE_XLSXWRITER
        if (book) {
            lxw_workbook_free(book); // frees without writing anything
            book = nullptr;
        }
#endif
        spool.reset();
        if (save)
            save->Cancel();
        save.reset();
    }
    bool Fail(const QString& reason, QString* message)
    {
        if (!failed) {
            failed = true;
            why = reason;
        }
        if (message)
            *message = QStringLiteral("Cannot save \"%1\": %2.").arg(QDir::toNativeSeparators(path), why);
        Drop();
        return false;
    }
};

CWorkbook::CWorkbook()
    : d(std::make_unique<Impl>())
{
}

CWorkbook::~CWorkbook() { d->Drop(); }

bool CWorkbook::Supported()
{
#ifdef METER_HAVE_XLSXWRITER
    return true;
#else
    return false;
#endif
}

bool CWorkbook::Open(const QString& path, const QString& sheet, QString* message, bool rowByRow)
{
    d->path = path;
    d->save = std::make_unique<CSafeSave>(path);
    if (!d->save->Open(message)) {
        d->failed = true;
        d->why = d->save->ErrorString();
        d->save.reset();
        return false;
    }
#ifdef METER_HAVE_XLSXWRITER
    d->spool = std::make_unique<QTemporaryFile>(QDir::tempPath() + QStringLiteral("/meter-XXXXXX.xlsx"));
    if (!d->spool->open())
        return d->Fail(d->spool->errorString(), message);
    d->spool->close(); // the library writes it by name
    const QByteArray spoolName = QFile::encodeName(d->spool->fileName());
    lxw_workbook_options options = {};
    options.constant_memory = rowByRow ? LXW_TRUE : LXW_FALSE;
    d->book = workbook_new_opt(spoolName.constData(), &options);
    if (!d->book)
        return d->Fail(QStringLiteral("the spreadsheet library could not start a workbook"), message);
    d->sheet = workbook_add_worksheet(d->book, sheet.toUtf8().constData());
    if (!d->sheet)
        return d->Fail(QStringLiteral("the spreadsheet library could not add a sheet"), message);
    static const char* const kFormats[] = { "0", "0.0", "0.00", "0.000", "0.0000" };
    for (int i = 0; i < 5; ++i) {
        d->decimals[i] = workbook_add_format(d->book);
        format_set_num_format(d->decimals[i], kFormats[i]);
    }
    d->dateTime = workbook_add_format(d->book);
    format_set_num_format(d->dateTime, "yyyy/mm/dd hh:mm:ss");
    return true;
#else
    Q_UNUSED(sheet);
    Q_UNUSED(rowByRow);
    return d->Fail(QStringLiteral("this build cannot write spreadsheet files"), message);
#endif
}

bool CWorkbook::Number(int row, int col, double value, int decimals)
{
    if (d->failed)
        return false;
    if (!std::isfinite(value))
        return true; // left empty
#ifdef METER_HAVE_XLSXWRITER
    lxw_format* f = decimals >= 0 && decimals < 5 ? d->decimals[decimals] : nullptr;
    return d->Check(worksheet_write_number(d->sheet, lxw_row_t(row), lxw_col_t(col), value, f));
#else
    Q_UNUSED(row);
    Q_UNUSED(col);
    Q_UNUSED(decimals);
    return false;
#endif
}

bool CWorkbook::Text(int row, int col, const QString& text)
{
    if (d->failed)
        return false;
    if (text.isEmpty())
        return true;
#ifdef METER_HAVE_XLSXWRITER
    return d->Check(
        worksheet_write_string(d->sheet, lxw_row_t(row), lxw_col_t(col), text.toUtf8().constData(), nullptr));
#else
    Q_UNUSED(row);
    Q_UNUSED(col);
    return false;
#endif
}

bool CWorkbook::DateTime(int row, int col, int year, int month, int day, int hour, int minute, int second)
{
    if (d->failed)
        return false;
#ifdef METER_HAVE_XLSXWRITER
    lxw_datetime t = { year, month, day, hour, minute, double(second) };
    return d->Check(worksheet_write_datetime(d->sheet, lxw_row_t(row), lxw_col_t(col), &t, d->dateTime));
#else
    Q_UNUSED(row);
    Q_UNUSED(col);
    Q_UNUSED(year);
    Q_UNUSED(month);
    Q_UNUSED(day);
    Q_UNUSED(hour);
    Q_UNUSED(minute);
    Q_UNUSED(second);
    return false;
#endif
}

bool CWorkbook::ColumnWidth(int col, double width)
{
    if (d->failed)
        return false;
#ifdef METER_HAVE_XLSXWRITER
    return d->Check(worksheet_set_column(d->sheet, lxw_col_t(col), lxw_col_t(col), width, nullptr));
#else
    Q_UNUSED(col);
    Q_UNUSED(width);
    return false;
#endif
}

bool CWorkbook::Close(QString* message, const std::atomic<bool>* stop)
{
    if (d->failed || !d->save)
        return d->Fail(d->why.isEmpty() ? QStringLiteral("the workbook is not open") : d->why, message);
#ifdef METER_HAVE_XLSXWRITER
    const lxw_error err = workbook_close(d->book);
    d->book = nullptr;
    if (!d->Check(err))
        return d->Fail(d->why, message);
    QFile in(d->spool->fileName());
    if (!in.open(QIODevice::ReadOnly))
        return d->Fail(in.errorString(), message);
    auto stopped = [stop] { return stop && stop->load(); };
    QByteArray chunk(256 * 1024, Qt::Uninitialized);
    for (;;) {
        if (stopped())
            return d->Fail(QStringLiteral("stopped"), message);
        const qint64 n = in.read(chunk.data(), chunk.size());
        if (n < 0)
            return d->Fail(in.errorString(), message);
        if (n == 0)
            break;
        if (!d->save->Write(chunk.constData(), n))
            break;
    }
    in.close();
    d->spool.reset();
    if (stopped())
        return d->Fail(QStringLiteral("stopped"), message);
    const bool ok = d->save->Commit(message);
    if (!ok) {
        d->failed = true;
        d->why = d->save->ErrorString();
    }
    d->save.reset();
    return ok;
#else
    Q_UNUSED(stop);
    return d->Fail(QStringLiteral("this build cannot write spreadsheet files"), message);
#endif
}

void CWorkbook::Cancel() { d->Drop(); }

bool CWorkbook::Failed() const { return d->failed; }
