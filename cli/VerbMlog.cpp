// multimeter-cli mlog: ".mLog" data-log files as JSON (dump, build) and as CSV (export).
#include "cli/CliVerbs.h"
#include "datalog/DataLogExport.h"
#include "datalog/MLogFile.h"
#include "datalog/MLogJson.h"
#include "recording/RecordingJournal.h"
#include "platform/FileTarget.h"

#include <QDir>
#include <cstdio>

namespace {

using cli::ioError;

int dump(const QString& path)
{
    CDataLog log;
    QString message;
    if (!mlog::Load(path, log, &message))
        return ioError(message);
    // Written as it is formatted: the text of a large document is never held whole.
    const bool written = mlog::WriteJson(log,
        [](const char* data, qint64 size) {
            return std::fwrite(data, 1, static_cast<size_t>(size), stdout) == static_cast<size_t>(size);
        });
    if (!written || std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0)
        return ioError(QStringLiteral("Cannot write the output."));
    return cli::ExitOk;
}

int build(const QString& jsonPath, const QString& out)
{
    QByteArray json;
    if (const int failed = cli::ReadInputFile(jsonPath, &json))
        return failed;
    CDataLog log;
    QString why;
    if (!mlog::FromJson(json, log, &why))
        return ioError(QStringLiteral("Cannot read \"%1\": %2.").arg(QDir::toNativeSeparators(jsonPath), why));
    QString message;
    if (!mlog::Save(out, log, &message))
        return ioError(message);
    return cli::ExitOk;
}

int exportCsv(const QString& path, const QString& out)
{
    CDataLog log;
    QString message;
    if (!mlog::Load(path, log, &message))
        return ioError(message);
    if (!datalog_export::WriteExport(out, log, datalog_export::Format::Csv, &message))
        return ioError(message);
    return cli::ExitOk;
}

// A journal left by a recording that never finished, written as a document. Damaged records are
// skipped; a journal that holds bytes of records but no whole one is a failure.
int recover(const QString& journalPath, const QString& out)
{
    // Checked before opening: opening a FIFO would wait for a writer.
    const QString notFile = filetarget::WhyNotReadable(journalPath);
    if (!notFile.isEmpty())
        return ioError(QStringLiteral("Cannot open \"%1\": %2.").arg(QDir::toNativeSeparators(journalPath), notFile));
    CDataLog log;
    journal::ReadResult read;
    QString why;
    if (!journal::Read(journalPath, log, &read, &why))
        return ioError(why);
    if (read.points == 0 && (!read.Whole() || read.tornTail))
        return ioError(QStringLiteral("Nothing could be recovered from \"%1\": %2 damaged records.")
                           .arg(QDir::toNativeSeparators(journalPath))
                           .arg(read.damaged));
    QString message;
    if (!mlog::Save(out, log, &message))
        return ioError(message);
    std::fprintf(stderr, "multimeter-cli: %lld readings recovered, %lld damaged records skipped%s\n",
        static_cast<long long>(read.points), static_cast<long long>(read.damaged),
        read.tornTail ? " (the last one was cut short and left out)" : "");
    return cli::ExitOk;
}

// The same file as the window's "Export To Excel".
int exportXls(const QString& path, const QString& out)
{
    CDataLog log;
    QString message;
    if (!mlog::Load(path, log, &message))
        return ioError(message);
    if (!datalog_export::WriteExport(out, log, datalog_export::Format::Xls, &message))
        return ioError(message);
    return cli::ExitOk;
}

int run(const QStringList& args)
{
    const cli::Args parsed(args, {}, { QStringLiteral("--xls") });
    if (!parsed.ok())
        return cli::usageError(parsed.error());
    const QStringList& p = parsed.positionals();
    const QString sub = p.value(0);
    if (parsed.has(QStringLiteral("--xls")) && sub != QLatin1String("export"))
        return cli::usageError(QStringLiteral("mlog: --xls belongs to export"));
    if (sub == QLatin1String("dump") && p.size() == 2)
        return dump(p[1]);
    if (sub == QLatin1String("build") && p.size() == 3)
        return build(p[1], p[2]);
    if (sub == QLatin1String("export") && p.size() == 3)
        return parsed.has(QStringLiteral("--xls")) ? exportXls(p[1], p[2]) : exportCsv(p[1], p[2]);
    if (sub == QLatin1String("recover") && p.size() == 3)
        return recover(p[1], p[2]);
    return cli::usageError(QStringLiteral("mlog: wrong arguments"));
}

const cli::CliVerbRegistration registration({
    "mlog",
    "mlog dump FILE | mlog build JSON OUT | mlog export FILE OUT.csv | mlog export --xls FILE OUT.xls | mlog recover "
    "JOURNAL OUT.mLog",
    run,
});

} // namespace
