// multimeter-cli monitor --port PORT --address MAC [--seconds S] [--raw | --json] [--reconnect]
// Opens the dongle at PORT and scans as the Scan Device dialog does; as soon as MAC is listed it
// connects, and from then on prints what the meter sends: each decoded reading as one
// human-readable line, or with --json as one JSON object per line (the form of the decode verb),
// or with --raw each notification payload as one line of lowercase hex. With --reconnect a lost
// meter is tried again (see cli::WatchAndReconnect) instead of ending the run.
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "link/BleLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "protocol/MeterEventFormat.h"
#include "protocol/MeterProtocol.h"
#include "protocol/ReadableWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace {

int RunMonitor(const QStringList& argv)
{
    const cli::Args args(argv, { QStringLiteral("--port"), QStringLiteral("--address"), QStringLiteral("--seconds") },
        { QStringLiteral("--raw"), QStringLiteral("--json"), QStringLiteral("--reconnect") });
    if (!args.ok())
        return cli::usageError(args.error());
    if (!args.positionals().isEmpty())
        return cli::usageError(QStringLiteral("unexpected argument %1").arg(args.positionals().first()));
    cli::MeterTarget target;
    if (const int bad = cli::ParseMeterTarget(args, "monitor", &target))
        return bad;
    const QString& port = target.port;
    const QString& address = target.address;
    const double seconds = target.seconds;

    const bool raw = args.has(QStringLiteral("--raw"));
    const bool json = args.has(QStringLiteral("--json"));
    if (raw && json)
        return cli::usageError(QStringLiteral("--raw and --json exclude each other"));

    std::atomic<bool> listed { false };
    cli::PrepareLinkSession();
    CLinkController links;
    CBleLink& link = links.Dongle();
    CReconnector& reconnect = links.Reconnector();

    // The real dispatcher and decoders, on the receive thread like in the program.
    CMeterProtocol protocol(
        links.FrameText(), [&links](const uint8_t* bytes, int count) { return links.SendToMeter(bytes, count); },
        [&link](int size) { link.m_ComPort.SetReadSize(size); });
    QObject::connect(
        &protocol.Decoder(), &CLiveDecoder::frameDecoded, &link,
        [json, &reconnect](const MeterEvent& event) {
            reconnect.FrameSeen();
            if (event.m_bDateWarning)
                std::fprintf(stderr, "%s\n", CLiveDecoder::kDateWarningText);
            const std::string line = json ? MeterEventToJson(event) : MeterEventToText(event);
            cli::PrintLine(line.data(), line.size());
        },
        Qt::DirectConnection);

    // The frame hook runs on the receive thread after each payload was appended to the frame
    // text. Raw output takes the payload whole; otherwise the dispatcher consumes the text.
    const bool retry = args.has(QStringLiteral("--reconnect"));
    bool silent = false;
    const std::function<void()> heard
        = retry ? [] {} : cli::EndOnSilence(&links, &protocol.Dispatcher().m_bStoreMarker, address, &silent);
    links.SetFrameHook([&link, &protocol, &heard, raw] {
        heard();
        if (raw) {
            const std::string_view payload = link.m_strMeterRx.view();
            cli::PrintLine(payload.data(), payload.size());
            link.m_strMeterRx.clear();
            return;
        }
        protocol.MeterFrameDispatcher();
    });

    cli::ConnectWhenListed(&link, address, &listed);

    // Bytes that arrive but make no readable frame are reported once per spell, on stderr.
    CReadableWatch watch;
    QElapsedTimer clock;
    clock.start();
    QTimer watchTimer;
    QObject::connect(&watchTimer, &QTimer::timeout, [&] {
        watch.Update(clock.elapsed(), CFrameCounts::Of(protocol.Dispatcher()));
        if (watch.TakeRaised())
            std::fprintf(stderr, "multimeter-cli: %s\n", qPrintable(watch.Text()));
    });
    if (!raw)
        watchTimer.start(1000);

    if (retry) {
        reconnect.Remember(port, address);
        cli::WatchAndReconnect(&reconnect, &protocol.Dispatcher());
    }
    int status = cli::ScanAndRun(&link, port, seconds, retry ? &reconnect : nullptr);
    if (silent)
        status = cli::ExitIo;
    if (status == cli::ExitOk && !listed) {
        std::fprintf(stderr, "multimeter-cli: %s was not found on %s\n", qPrintable(address), qPrintable(port));
        status = cli::ExitIo;
    }
    return status;
}

const cli::CliVerbRegistration registration(
    { "monitor", "monitor --port PORT --address MAC [--seconds S] [--raw | --json] [--reconnect]", RunMonitor });

} // namespace
