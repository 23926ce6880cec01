#include "link/PortSettings.h"

#include "link/ComPort.h"

#include <QDir>
#include <algorithm>
#include <QSettings>
#include <QStandardPaths>

namespace {
const char kSection[] = "PELLAN_PORT";
const char kFileName[] = "MultipleSetInfo.ini";

QString& overrideFolder()
{
    static QString folder;
    return folder;
}

QString key(const char* name) { return QStringLiteral("%1/%2").arg(QLatin1String(kSection), QLatin1String(name)); }
const char kMetersKey[] = "SESSION/METERS";
} // namespace

QString CPortSettings::DefaultFolder()
{
    if (!overrideFolder().isEmpty())
        return overrideFolder();
#ifdef Q_OS_WIN
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData;
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

void CPortSettings::OverrideDefaultFolder(const QString& folder) { overrideFolder() = folder; }

QString CPortSettings::PortKey(const char* name) const
{
    if (m_nMeter <= 1)
        return key(name);
    return QStringLiteral("%1_%2/%3").arg(QLatin1String(kSection)).arg(m_nMeter).arg(QLatin1String(name));
}

CPortSettings CPortSettings::ForMeter(int meter) const
{
    CPortSettings other(*this);
    other.m_nMeter = std::max(1, meter);
    return other;
}

int CPortSettings::ReadMeterCount() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    bool ok = false;
    const int count = s.value(QLatin1String(kMetersKey)).toInt(&ok);
    return ok ? std::clamp(count, 1, kMaxMeters) : 1;
}

void CPortSettings::WriteMeterCount(int count)
{
    QSettings s(m_strPath, QSettings::IniFormat);
    s.setValue(QLatin1String(kMetersKey), QString::number(std::clamp(count, 1, kMaxMeters)));
}

CPortSettings::CPortSettings(const QString& folder)
{
    const QString dir = folder.isEmpty() ? DefaultFolder() : folder;
    // Without a folder the bare file name is used, resolved in the working folder.
    m_strPath = dir.isEmpty() ? QString::fromLatin1(kFileName) : QDir(dir).filePath(QLatin1String(kFileName));
}

int CPortSettings::ReadComPort() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    bool ok = false;
    const int port = s.value(PortKey("COMPORT")).toInt(&ok);
    return ok ? port : kDefaultComPort;
}

QString CPortSettings::ReadPort() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    const QString path = s.value(PortKey("COMPORT_PATH")).toString();
    if (!path.isEmpty())
        return path;
    // A port name written where the number belongs ("sim", a device path) is still the last
    // port used, and better than the default.
    const QString text = s.value(PortKey("COMPORT")).toString().trimmed();
    bool isNumber = false;
    text.toInt(&isNumber);
    if (!text.isEmpty() && !isNumber)
        return text;
    return QString::number(ReadComPort());
}

void CPortSettings::WritePort(const QString& port)
{
    QString device;
    int number = 0;
    const QString text = port.trimmed();
    bool isNumber = false;
    text.toInt(&isNumber);
    if (isNumber || (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && text.mid(3).toInt(&isNumber) > 0)) {
        CComPort::ResolvePortName(text, &device, &number);
        WriteComPort(number);
        QSettings s(m_strPath, QSettings::IniFormat);
        s.remove(PortKey("COMPORT_PATH"));
        return;
    }
    QSettings s(m_strPath, QSettings::IniFormat);
    s.setValue(PortKey("COMPORT_PATH"), text);
}

void CPortSettings::WriteComPort(int port)
{
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    QSettings s(m_strPath, QSettings::IniFormat);
    s.setValue(PortKey("COMPORT"), QString::asprintf("%d", port));
}

void CPortSettings::WriteMac(const QString& mac)
{
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    QSettings s(m_strPath, QSettings::IniFormat);
    s.setValue(PortKey("MAC"), mac);
}

QString CPortSettings::ReadMac() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    return s.value(PortKey("MAC")).toString();
}

QString CPortSettings::ReadLastFolder() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    const QString folder = s.value(QStringLiteral("FILES/LAST_FOLDER")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void CPortSettings::WriteLastFolder(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo fi(path);
    const QString folder = fi.isDir() ? fi.absoluteFilePath() : fi.absolutePath();
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    QSettings s(m_strPath, QSettings::IniFormat);
    s.setValue(QStringLiteral("FILES/LAST_FOLDER"), folder);
}

QString CPortSettings::InLastFolder(const QString& name) const
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || QFileInfo(name).isAbsolute())
        return name;
    const QString folder = ReadLastFolder();
    if (folder.isEmpty())
        return name;
    return name.isEmpty() ? folder : QDir(folder).filePath(name);
}

QString CPortSettings::ReadPrintFile() const
{
    QSettings s(m_strPath, QSettings::IniFormat);
    const QString file = s.value(QStringLiteral("FILES/PRINT_FILE")).toString();
    return !file.isEmpty() && QFileInfo(file).absoluteDir().exists() ? file : QString();
}

void CPortSettings::WritePrintFile(const QString& file)
{
    if (!file.isEmpty())
        WriteLastFolder(file);
    if (file.isEmpty() && !QFileInfo::exists(m_strPath))
        return;
    QDir().mkpath(QFileInfo(m_strPath).absolutePath());
    QSettings s(m_strPath, QSettings::IniFormat);
    if (file.isEmpty())
        s.remove(QStringLiteral("FILES/PRINT_FILE"));
    else
        s.setValue(QStringLiteral("FILES/PRINT_FILE"), QFileInfo(file).absoluteFilePath());
}
