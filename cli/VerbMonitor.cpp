// multimeter-cli monitor --port PORT --address MAC [--seconds S] [--raw]
// Opens the dongle at PORT and scans as the Scan Device dialog does; as soon as MAC is listed it
// connects, and from then on prints every notification payload of the meter. With --raw (the only
// output form so far, and the default) each payload is one line of lowercase hex.
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "link/BleLink.h"

#include <QCoreApplication>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Receives each notification payload, as the hex text appended to the frame text, on the link's
// receive thread. Decoded output forms add their own sink here.
using PayloadSink = std::function<void(std::string_view hex)>;

int RunMonitor(const QStringList& argv)
{
    const cli::Args args(argv, { QStringLiteral("--port"), QStringLiteral("--address"), QStringLiteral("--seconds") },
        { QStringLiteral("--raw") });
    if (!args.ok())
        return cli::usageError(args.error());
    if (!args.positionals().isEmpty())
        return cli::usageError(QStringLiteral("unexpected argument %1").arg(args.positionals().first()));
    const QString port = args.value(QStringLiteral("--port"));
    const QString address = args.value(QStringLiteral("--address")).trimmed().toLower();
    if (port.isEmpty() || address.isEmpty())
        return cli::usageError(QStringLiteral("monitor needs --port and --address"));
    uint8_t parsed[6];
    if (!CBleLink::ParseAddress(address, parsed))
        return cli::usageError(QStringLiteral("not a device address: %1").arg(address));
    double seconds = 0; // until interrupted
    if (!cli::ParseSeconds(args, &seconds))
        return cli::usageError(QStringLiteral("--seconds needs a positive number"));

    std::vector<PayloadSink> sinks;
    sinks.push_back([](std::string_view hex) { cli::PrintLine(hex.data(), hex.size()); });

    std::atomic<bool> listed { false };
    cli::PrepareLinkSession();
    CBleLink link;

    // The frame hook runs on the receive thread after each payload was appended to the frame
    // text; nothing else consumes that text here, so it is handed on whole and emptied.
    link.SetFrameHook([&link, &sinks] {
        const std::string_view payload = link.m_strMeterRx.view();
        if (payload.empty())
            return;
        for (const PayloadSink& sink : sinks)
            sink(payload);
        link.m_strMeterRx.clear();
    });

    QObject::connect(
        &link, &CBleLink::scanRow, &link,
        [&link, &listed, address](const QStringList& columns) {
            if (columns.size() < 3 || columns[2].toLower() != address || listed.exchange(true))
                return;
            // Connect runs on the thread that owns the link (its pause is a timer there).
            QMetaObject::invokeMethod(
                &link, [&link, address] { link.Connect(address); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);

    int status = cli::ExitOk;
    bool failed = false;
    link.Scan(port, [&](int result) {
        if (result != CBleLink::OpenOk) {
            failed = true;
            status = cli::PortError(port, result);
        }
    });
    if (failed)
        return status;
    cli::RunEventLoop(&link, seconds, &status);
    link.Close();
    if (status == cli::ExitOk && !listed) {
        std::fprintf(stderr, "multimeter-cli: %s was not found on %s\n", qPrintable(address), qPrintable(port));
        status = cli::ExitIo;
    }
    return status;
}

const cli::CliVerbRegistration registration(
    { "monitor", "monitor --port PORT --address MAC [--seconds S] [--raw]", RunMonitor });

} // namespace
