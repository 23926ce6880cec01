// multimeter-cli scan --port PORT [--seconds S]
// Opens the dongle at PORT, scans, and prints every row of the scan list as the four column texts
// separated by tabs, until S seconds have passed.
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "link/BleLink.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

namespace {

int RunScan(const QStringList& argv)
{
    const cli::Args args(argv, { QStringLiteral("--port"), QStringLiteral("--seconds") }, {});
    if (!args.ok())
        return cli::usageError(args.error());
    if (!args.positionals().isEmpty())
        return cli::usageError(QStringLiteral("unexpected argument %1").arg(args.positionals().first()));
    const QString port = args.value(QStringLiteral("--port"));
    if (port.isEmpty())
        return cli::usageError(QStringLiteral("scan needs --port"));
    double seconds = 10;
    if (!cli::ParseSeconds(args, &seconds))
        return cli::usageError(QStringLiteral("--seconds needs a positive number"));

    cli::PrepareLinkSession();
    CBleLink link;
    QObject::connect(
        &link, &CBleLink::scanRow, &link,
        [](const QStringList& columns) { cli::PrintLine(columns.join(QLatin1Char('\t'))); }, Qt::DirectConnection);

    return cli::ScanAndRun(&link, port, seconds);
}

const cli::CliVerbRegistration registration({ "scan", "scan --port PORT [--seconds S]", RunScan });

} // namespace
