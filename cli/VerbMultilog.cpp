// multimeter-cli multilog --meter PORT,MAC [--meter PORT,MAC ...] [--seconds S]
//                         [--alarm N:low:high ...] [--reconnect] OUT.csv
// Several meters at once, each behind its own dongle (one port, one meter): every meter gets its
// own link controller and protocol, connected as monitor connects one. OUT.csv (UTF-8, RFC 4180,
// CR LF line ends) has a row for every second of the computer's clock from the second of the
// first reading (of any meter) on: time, then for each meter (in the order given) the value as
// the meter shows it ("5.012", "OL" over range) and its unit, of the last live reading of that
// second, both empty when none came. When meter 1 and meter 2 first read "VDC" and "ADC" (either
// way round) power_W, energy_Wh and charge_Ah follow (multilog::CTable says how). The header is
// written once every meter has read once; the rows of the seconds before are kept until then.
// A row is written and flushed once its second is over; the second the run ends in is written
// when a reading came in it. Alarm lines go to stderr as the reading arrives. A meter that falls silent or whose port
// is lost leaves its columns empty and the run goes on; with --reconnect it is retried as record
// retries one. Exit 0 after S seconds, SIGINT or SIGTERM; 2 when a port cannot be opened, the
// file cannot be written, or a meter never sent a reading (the file is completed all the same).
#include "cli/CliVerbs.h"
#include "cli/LinkSession.h"
#include "link/BleLink.h"
#include "link/LinkController.h"
#include "link/Reconnector.h"
#include "platform/FileTarget.h"
#include "protocol/MeterEventFormat.h"
#include "protocol/MeterProtocol.h"
#include "session/MultilogTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// One meter of the log: its link, its protocol, and what the run says about it.
struct Meter {
    int index = 0; // 0-based, in the order given
    QString port;
    QString address;
    CLinkController links;
    std::unique_ptr<CMeterProtocol> protocol;
    std::atomic<bool> listed { false };
    int openResult = CBleLink::OpenOk;
    bool silenceSaid = false;
};

class CMultilogSession : public QObject {
public:
    CMultilogSession(const QString& out, int meters, bool reconnect)
        : m_strOut(out)
        , m_table(meters)
        , m_bReconnect(reconnect)
        , m_file(out)
    {
        m_rowTimer.setSingleShot(true);
        m_rowTimer.setTimerType(Qt::PreciseTimer);
        connect(&m_rowTimer, &QTimer::timeout, this, &CMultilogSession::Tick);
    }

    void AddAlarm(const multilog::Alarm& alarm) { m_alarms.Add(alarm); }
    void SetMeters(std::vector<std::unique_ptr<Meter>>* meters) { m_pMeters = meters; }

    // False, with the reason on stderr, when OUT.csv cannot be created.
    bool Open()
    {
        QString why = filetarget::WhyNotSaveTarget(m_strOut);
        if (why.isEmpty() && !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            why = m_file.errorString();
        if (why.isEmpty())
            return true;
        std::fprintf(stderr, "multimeter-cli: cannot write %s: %s\n", qPrintable(m_strOut), qPrintable(why));
        return false;
    }

    void Start() { ArmTick(); }

    // On this thread, in the order each meter's frames came.
    void OnEvent(Meter& meter, const MeterEvent& event)
    {
        // The meter's memory (after its store marker) is no live reading.
        if (event.m_bSavedFrame || m_bFailed)
            return;
        const QDateTime now = QDateTime::currentDateTime();
        const QString value = QString::fromStdString(MeterValueText(event));
        const QString& unit = event.m_data.m_strUnit;
        for (const QString& line : m_alarms.Feed(meter.index, value, unit, now))
            std::fprintf(stderr, "%s\n", qPrintable(line));
        if (meter.silenceSaid) {
            meter.silenceSaid = false;
            std::fprintf(stderr, "multimeter-cli: the meter %s reads again\n", qPrintable(meter.address));
        }
        m_table.Add(meter.index, now.toSecsSinceEpoch(), value, unit);
    }

    // The run is over: the rest of the table, and the second it ends in if a reading came in it.
    void Finish()
    {
        m_rowTimer.stop();
        if (!m_bFailed)
            Write(m_table.Finish(QDateTime::currentSecsSinceEpoch()));
        m_file.close();
    }

    bool Failed() const { return m_bFailed; }
    const multilog::CTable& Table() const { return m_table; }

private:
    // Just after the next second of the clock begins.
    void ArmTick()
    {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        m_rowTimer.start(int(1000 - ms % 1000) + 20);
    }

    void Tick()
    {
        Write(m_table.Take(QDateTime::currentSecsSinceEpoch()));
        if (!m_bReconnect)
            SaySilence();
        if (!m_bFailed)
            ArmTick();
    }

    // Without --reconnect nothing is done about a silent meter but to say so, once.
    void SaySilence()
    {
        for (const std::unique_ptr<Meter>& m : *m_pMeters) {
            if (m->silenceSaid || !m_table.HasRead(m->index))
                continue;
            const qint64 silent = m->links.Now() - m->links.LastArrival();
            if (silent < CLinkController::kSilenceSeconds)
                continue;
            m->silenceSaid = true;
            std::fprintf(stderr, "multimeter-cli: the meter %s on %s sent nothing for %d s; its columns stay empty\n",
                qPrintable(m->address), qPrintable(m->port), CLinkController::kSilenceSeconds);
        }
    }

    void Write(const QStringList& lines)
    {
        if (m_bFailed || lines.isEmpty())
            return;
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += line.toUtf8() + "\r\n";
        if (m_file.write(bytes) == bytes.size() && m_file.flush())
            return;
        std::fprintf(stderr, "multimeter-cli: cannot write %s: %s\n", qPrintable(m_strOut),
            qPrintable(m_file.errorString()));
        m_bFailed = true;
        QCoreApplication::quit();
    }

    QString m_strOut;
    multilog::CTable m_table;
    multilog::CAlarms m_alarms;
    bool m_bReconnect;
    QFile m_file;
    QTimer m_rowTimer;
    std::vector<std::unique_ptr<Meter>>* m_pMeters = nullptr;
    bool m_bFailed = false;
};

// "PORT,MAC" (the port may hold commas; the address does not).
bool ParseMeter(const QString& text, QString* port, QString* address)
{
    const int comma = text.lastIndexOf(QLatin1Char(','));
    if (comma <= 0)
        return false;
    *port = text.left(comma);
    *address = text.mid(comma + 1).trimmed().toLower();
    uint8_t parsed[6];
    return CBleLink::ParseAddress(*address, parsed);
}

// The same device under two names (a link and its target) is the same port.
QString PortIdentity(const QString& port)
{
    const QString canonical = QFileInfo(port).canonicalFilePath();
    return canonical.isEmpty() ? port : canonical;
}

void Connect(Meter& m, CMultilogSession& session, bool reconnect)
{
    CBleLink& link = m.links.Dongle();
    m.protocol = std::make_unique<CMeterProtocol>(
        m.links.FrameText(), [&m](const uint8_t* bytes, int count) { return m.links.SendToMeter(bytes, count); },
        [&link](int size) { link.m_ComPort.SetReadSize(size); });
    CMeterProtocol& protocol = *m.protocol;
    m.links.SetFrameHook([&protocol] { protocol.MeterFrameDispatcher(); });
    // Decoded frames reach the table on this thread, in order.
    QObject::connect(
        &protocol.Decoder(), &CLiveDecoder::frameDecoded, &session,
        [&m, &session](const MeterEvent& event) {
            m.links.Reconnector().FrameSeen();
            session.OnEvent(m, event);
        },
        Qt::QueuedConnection);
    QObject::connect(
        &link, &CBleLink::scanRow, &link,
        [&m, &link](const QStringList& columns) {
            if (columns.size() < 3 || columns[2].toLower() != m.address || m.listed.exchange(true))
                return;
            QMetaObject::invokeMethod(
                &link, [&m, &link] { link.Connect(m.address); }, Qt::QueuedConnection);
        },
        Qt::DirectConnection);
    if (reconnect) {
        m.links.Reconnector().Remember(m.port, m.address);
        cli::WatchAndReconnect(&m.links.Reconnector(), &protocol.Dispatcher());
    } else {
        QObject::connect(
            &link, &CBleLink::portLost, &session,
            [&m] {
                std::fprintf(stderr, "multimeter-cli: lost the port %s; the columns of %s stay empty\n",
                    qPrintable(m.port), qPrintable(m.address));
            },
            Qt::QueuedConnection);
    }
}

void CloseAll(std::vector<std::unique_ptr<Meter>>& meters)
{
    for (const std::unique_ptr<Meter>& m : meters) {
        m->links.Reconnector().Cancel();
        m->links.Close();
    }
}

int RunMultilog(const QStringList& argv)
{
    const cli::Args args(argv,
        { QStringLiteral("--meter"), QStringLiteral("--seconds"), QStringLiteral("--alarm") },
        { QStringLiteral("--reconnect") });
    if (!args.ok())
        return cli::usageError(args.error());
    if (args.positionals().size() != 1)
        return cli::usageError(QStringLiteral("multilog needs one output file"));
    const QString out = args.positionals().first();
    const QStringList meterArgs = args.values(QStringLiteral("--meter"));
    if (meterArgs.isEmpty())
        return cli::usageError(QStringLiteral("multilog needs at least one --meter PORT,MAC"));
    double seconds = 0;
    if (!cli::ParseSeconds(args, &seconds))
        return cli::usageError(QStringLiteral("--seconds needs a positive number"));
    const bool reconnect = args.has(QStringLiteral("--reconnect"));

    std::vector<std::unique_ptr<Meter>> meters;
    QStringList ports;
    for (const QString& text : meterArgs) {
        auto m = std::make_unique<Meter>();
        if (!ParseMeter(text, &m->port, &m->address))
            return cli::usageError(QStringLiteral("--meter needs PORT,MAC: %1").arg(text));
        const QString identity = PortIdentity(m->port);
        if (ports.contains(identity))
            return cli::usageError(QStringLiteral("port %1 is given twice: a port carries one meter").arg(m->port));
        for (const std::unique_ptr<Meter>& other : meters) {
            if (other->address == m->address)
                return cli::usageError(QStringLiteral("meter %1 is given twice").arg(m->address));
        }
        ports << identity;
        m->index = int(meters.size());
        meters.push_back(std::move(m));
    }
    std::vector<multilog::Alarm> alarms;
    for (const QString& text : args.values(QStringLiteral("--alarm"))) {
        multilog::Alarm alarm;
        QString why;
        if (!multilog::ParseAlarm(text, int(meters.size()), &alarm, &why))
            return cli::usageError(why);
        alarms.push_back(alarm);
    }

    cli::PrepareLinkSession();
    CMultilogSession session(out, int(meters.size()), reconnect);
    session.SetMeters(&meters);
    for (const multilog::Alarm& a : alarms)
        session.AddAlarm(a);
    for (const std::unique_ptr<Meter>& m : meters)
        Connect(*m, session, reconnect);

    // Every port opens (and the file is made) before anything is logged.
    for (const std::unique_ptr<Meter>& m : meters) {
        Meter* meter = m.get();
        meter->links.Dongle().Scan(meter->port, [meter](int result) { meter->openResult = result; });
        if (meter->openResult != CBleLink::OpenOk) {
            const int status = cli::PortError(
                meter->port, meter->openResult, meter->links.Dongle().m_ComPort.LastError());
            CloseAll(meters);
            return status;
        }
    }
    if (!session.Open()) {
        CloseAll(meters);
        return cli::ExitIo;
    }

    session.Start();
    int status = cli::ExitOk;
    // The loop is handed the first meter's reconnector only so that it leaves a lost port to
    // this verb: a meter that goes away leaves its columns empty and the others go on.
    cli::RunEventLoop(&meters.front()->links.Dongle(), seconds, &status, &meters.front()->links.Reconnector());
    CloseAll(meters);
    session.Finish();
    if (session.Failed())
        status = cli::ExitIo;
    for (const std::unique_ptr<Meter>& m : meters) {
        if (session.Table().HasRead(m->index))
            continue;
        if (!m->listed)
            std::fprintf(stderr, "multimeter-cli: %s was not found on %s\n", qPrintable(m->address), qPrintable(m->port));
        else
            std::fprintf(stderr, "multimeter-cli: the meter %s on %s sent no reading\n", qPrintable(m->address),
                qPrintable(m->port));
        status = cli::ExitIo;
    }
    return status;
}

const cli::CliVerbRegistration registration({ "multilog",
    "multilog --meter PORT,MAC [--meter PORT,MAC ...] [--seconds S] [--alarm N:low:high ...] [--reconnect] OUT.csv\n"
    "      one CSV row a second from the first reading on: time (ISO 8601 with offset), then per meter\n"
    "      m<N>_value (as shown, OL over range) and m<N>_unit of its last reading in that second (empty\n"
    "      when none came); power_W, energy_Wh, charge_Ah when meters 1 and 2 read VDC and ADC. The header\n"
    "      waits for every meter's first reading. --alarm prints \"alarm m<N> low|high VALUE UNIT TIME\"\n"
    "      on stderr once per crossing. Exit 2: a port or OUT.csv unusable, or a meter never read",
    RunMultilog });

} // namespace
