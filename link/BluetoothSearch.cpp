#include "link/BluetoothSearch.h"

#include <QDir>
#include <QSerialPortInfo>

int ParseBluetoothComNumber(const QString& friendlyName)
{
    if (!friendlyName.contains(QLatin1String("Bluetooth")))
        return 0;
    const int at = friendlyName.indexOf(QLatin1String("(COM"));
    if (at < 0)
        return 0;
    QString rest = friendlyName.mid(at + 4);
    const QString strip = QStringLiteral(" ()");
    while (!rest.isEmpty() && strip.contains(rest.front()))
        rest.remove(0, 1);
    while (!rest.isEmpty() && strip.contains(rest.back()))
        rest.chop(1);
    bool ok = false;
    const int n = rest.toInt(&ok, 10);
    return ok && n > 0 ? n : 0;
}

QStringList EnumerateBluetoothPorts()
{
    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString friendly = info.description() + QLatin1String(" (") + info.portName() + QLatin1Char(')');
        const bool bluetooth = info.description().contains(QLatin1String("Bluetooth"))
            || info.manufacturer().contains(QLatin1String("Bluetooth"))
            || info.portName().startsWith(QLatin1String("rfcomm"));
        if (!bluetooth)
            continue;
        const int n = ParseBluetoothComNumber(QStringLiteral("Bluetooth ") + friendly);
        if (n > 0 && info.portName().startsWith(QLatin1String("COM")))
            ports << QString::number(n);
        else
            ports << info.systemLocation();
    }
#ifndef Q_OS_WIN
    // Bound RFCOMM devices do not always carry a description.
    const QStringList rfcomm = QDir(QStringLiteral("/dev")).entryList({ QStringLiteral("rfcomm*") }, QDir::System);
    for (const QString& name : rfcomm) {
        const QString path = QStringLiteral("/dev/") + name;
        if (!ports.contains(path))
            ports << path;
    }
#endif
    return ports;
}

CBluetoothPortSearch::CBluetoothPortSearch(std::function<bool(const QString&)> tryOpen,
    std::function<bool()> meterSeen, QObject* parent)
    : QObject(parent)
    , m_fnTryOpen(std::move(tryOpen))
    , m_fnMeterSeen(std::move(meterSeen))
{
    m_timer.setInterval(kStepMs);
    connect(&m_timer, &QTimer::timeout, this, &CBluetoothPortSearch::Step);
}

QStringList CBluetoothPortSearch::TryOrder(const QStringList& candidates, const QString& rememberedPort)
{
    QStringList all = candidates;
    all << rememberedPort;
    QStringList order;
    for (int i = all.size() - 1; i >= 0; --i)
        order << all[i];
    return order;
}

void CBluetoothPortSearch::Start(const QStringList& candidates, const QString& rememberedPort)
{
    Cancel();
    m_order = TryOrder(candidates, rememberedPort);
    m_bRunning = true;
    NextCandidate();
}

void CBluetoothPortSearch::Cancel()
{
    if (!m_bRunning)
        return;
    m_timer.stop();
    m_order.clear();
    m_bRunning = false;
    emit finished(false);
}

void CBluetoothPortSearch::NextCandidate()
{
    while (!m_order.isEmpty()) {
        m_strCurrent = m_order.takeFirst();
        emit trying(m_strCurrent);
        if (!m_fnTryOpen(m_strCurrent))
            continue;
        m_nSteps = 0;
        // A meter already heard counts at once, as on the first wait step.
        if (m_fnMeterSeen()) {
            m_bRunning = false;
            emit found(m_strCurrent);
            emit finished(true);
            return;
        }
        m_timer.start();
        return;
    }
    m_bRunning = false;
    emit nothingFound();
    emit finished(false);
}

void CBluetoothPortSearch::Step()
{
    ++m_nSteps;
    if (m_fnMeterSeen()) {
        m_timer.stop();
        m_bRunning = false;
        emit found(m_strCurrent);
        emit finished(true);
        return;
    }
    if (m_nSteps >= kStepsPerPort) {
        m_timer.stop();
        NextCandidate();
    }
}
