// multimeter-cli logger list     --port PORT --address MAC [--seconds S]
// multimeter-cli logger download --port PORT --address MAC OUTDIR [--csv] [--seconds S]
// Connects as monitor does, waits for the meter's first live reading, then asks for the list of
// records stored in the meter's logger (B0 95 00 B1). "list" prints one tab-separated line per
// entry (the Logger List pane's columns) and ends the dialogue; "download" fetches every record,
// last entry first, and writes each as OUTDIR/record-N.mLog (or .csv) the moment it is complete.
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "datalog/DataLogExport.h"
#include "datalog/MLogFile.h"
#include "link/BleLink.h"
#include "link/LinkController.h"
#include "logger/LoggerDownload.h"
#include "protocol/MeterProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <atomic>
#include <memory>
#include <cstdio>

namespace {

bool WriteRecord(const QString& path, const LoggerRecord& record, bool csv, QString* message)
{
    CDataLog log;
    FillLoggerDocument(log, record);
    if (!csv)
        return mlog::Save(path, log, message);
    return datalog_export::WriteExport(path, log, datalog_export::Format::Csv, message);
}

int RunLogger(const QStringList& argv)
{
    const cli::Args args(argv, { QStringLiteral("--port"), QStringLiteral("--address"), QStringLiteral("--seconds") },
        { QStringLiteral("--csv") });
    if (!args.ok())
        return cli::usageError(args.error());
    const QStringList& pos = args.positionals();
    const QString sub = pos.value(0);
    const bool download = sub == QLatin1String("download");
    if (!(sub == QLatin1String("list") && pos.size() == 1) && !(download && pos.size() == 2))
        return cli::usageError(QStringLiteral("logger: wrong arguments"));
    if (!download && args.has(QStringLiteral("--csv")))
        return cli::usageError(QStringLiteral("--csv belongs to logger download"));
    cli::MeterTarget target;
    if (const int bad = cli::ParseMeterTarget(args, "logger", &target))
        return bad;
    const QString& port = target.port;
    const QString& address = target.address;
    const double seconds = target.seconds;
    const bool csv = args.has(QStringLiteral("--csv"));
    QDir outDir;
    if (download) {
        outDir = QDir(pos[1]);
        if (!QDir().mkpath(outDir.absolutePath())) {
            std::fprintf(stderr, "multimeter-cli: cannot make the folder %s\n", qPrintable(pos[1]));
            return cli::ExitIo;
        }
    }

    cli::PrepareLinkSession();
    CLinkController links;
    CBleLink& link = links.Dongle();
    std::unique_ptr<CLoggerDownload> made;
    CMeterProtocol protocol(
        links.FrameText(), [&links](const uint8_t* bytes, int count) { return links.SendToMeter(bytes, count); },
        [&link](int size) { link.m_ComPort.SetReadSize(size); },
        [&links, &made](CFrameDispatcher& dispatcher, FrameDispatcherHooks& hooks) {
            made = std::make_unique<CLoggerDownload>(
                dispatcher,
                [&links](const meter_cmd::Command& c) { return links.SendToMeter(c.data(), int(c.size())); },
                [&links] { return links.MeterSeen(); });
            made->Attach(hooks);
        });
    CLoggerDownload& logger = *made;
    links.SetFrameHook([&protocol] { protocol.MeterFrameDispatcher(); });
    // The dongle says when the meter's link ends: a transfer stops there, not ten seconds later.
    QObject::connect(&links, &CLinkController::linkEnded, &logger, &CLoggerDownload::OnLinkLost, Qt::QueuedConnection);

    int status = cli::ExitOk;
    bool done = false;
    std::atomic<bool> listed { false };
    std::atomic<bool> started { false };

    // The first live reading says the meter is talking: ask for its logger then.
    QObject::connect(
        &protocol.Decoder(), &CLiveDecoder::frameDecoded, &link,
        [&](const MeterEvent&) {
            if (started.exchange(true))
                return;
            QMetaObject::invokeMethod(
                &logger,
                [&] {
                    if (!logger.Start(download ? CLoggerDownload::Mode::Download : CLoggerDownload::Mode::ListOnly))
                        started = false; // no meter data after all: wait for the next reading
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    QObject::connect(&logger, &CLoggerDownload::listReceived, &logger, [&](const std::vector<LoggerListData>& list) {
        if (!download) {
            for (const LoggerListData& e : list)
                cli::PrintLine(e.ColumnTexts().join(QLatin1Char('\t')));
        } else {
            std::fprintf(stderr, "multimeter-cli: the meter holds %d record(s)\n", int(list.size()));
        }
    });
    int lastRecords = -1, lastBlocks = -1;
    QObject::connect(&logger, &CLoggerDownload::progressChanged, &logger, [&](const LoggerProgress& p) {
        if (!p.visible || (p.recordsDone == lastRecords && p.blocksDone == lastBlocks))
            return;
        lastRecords = p.recordsDone;
        lastBlocks = p.blocksDone;
        std::fprintf(stderr, "multimeter-cli: %d of %d records done, block %d of %d\n", p.recordsDone, p.records,
            p.blocksDone, p.blocks);
    });
    QObject::connect(
        &logger, &CLoggerDownload::dateWarning, &logger, [] { std::fprintf(stderr, "%s\n", logger::kBadDateText); });
    QObject::connect(&logger, &CLoggerDownload::recordCompleted, &logger, [&](const LoggerRecord& record) {
        const QString path = outDir.filePath(QStringLiteral("record-%1.%2")
                                                 .arg(record.address)
                                                 .arg(csv ? QStringLiteral("csv") : QStringLiteral("mLog")));
        QString message;
        if (!WriteRecord(path, record, csv, &message)) {
            std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
            status = cli::ExitIo;
            logger.Abandon(message);
            return;
        }
        cli::PrintLine(QDir::toNativeSeparators(path));
    });
    QObject::connect(&logger, &CLoggerDownload::finished, &logger, [&](bool complete, const QString& message) {
        done = true;
        if (!complete) {
            if (status == cli::ExitOk)
                std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(message));
            status = cli::ExitIo;
        }
        QCoreApplication::quit();
    });

    cli::ConnectWhenListed(&link, address, &listed);

    const int runStatus = cli::ScanAndRun(&link, port, seconds);
    if (runStatus != cli::ExitOk)
        return runStatus;
    if (!listed) {
        std::fprintf(stderr, "multimeter-cli: %s was not found on %s\n", qPrintable(address), qPrintable(port));
        return cli::ExitIo;
    }
    if (!done) {
        std::fprintf(stderr, "multimeter-cli: the logger %s did not finish in time\n", download ? "download" : "list");
        return cli::ExitIo;
    }
    return status;
}

const cli::CliVerbRegistration registration({
    "logger",
    "logger list --port PORT --address MAC [--seconds S]\n"
    "  multimeter-cli logger download --port PORT --address MAC OUTDIR [--csv] [--seconds S]",
    RunLogger,
});

} // namespace
