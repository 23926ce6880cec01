// The settings file and the Bluetooth port search: the port is remembered across runs, and the
// search tries the remembered port first without ever blocking the event loop.
#include "link/BluetoothSearch.h"
#include "link/PortSettings.h"

#include <QFile>
#include <QSignalSpy>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestPortSettings : public QObject {
    Q_OBJECT
private slots:
    void missingFileReadsPort3()
    {
        QTemporaryDir dir;
        CPortSettings s(dir.path());
        QCOMPARE(s.ReadComPort(), 3);
        QCOMPARE(s.ReadPort(), QStringLiteral("3"));
        QVERIFY(!QFile::exists(s.FilePath()));
    }

    void writesTheProfileSectionAndKeys()
    {
        QTemporaryDir dir;
        CPortSettings s(dir.path());
        s.WriteComPort(12);
        s.WriteMac(QStringLiteral("a4:c1:38:00:11:22"));
        QVERIFY(s.FilePath().endsWith(QLatin1String("/MultipleSetInfo.ini")));
        QFile f(s.FilePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QLatin1String("[PELLAN_PORT]")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("COMPORT=12")), qPrintable(text));
        QVERIFY2(text.contains(QLatin1String("MAC=a4:c1:38:00:11:22")), qPrintable(text));
        QCOMPARE(CPortSettings(dir.path()).ReadComPort(), 12);
    }

    void devicePathsAreRememberedBesideTheNumber()
    {
        QTemporaryDir dir;
        CPortSettings s(dir.path());
        s.WritePort(QStringLiteral("5"));
        s.WritePort(QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(s.ReadComPort(), 5); // the number stays for programs that only know numbers
        QCOMPARE(s.ReadPort(), QStringLiteral("/dev/ttyACM0"));
        s.WritePort(QStringLiteral("COM7"));
        QCOMPARE(s.ReadComPort(), 7);
        QCOMPARE(s.ReadPort(), QStringLiteral("7"));
        // A name where the number belongs is offered as it is, not replaced by the default.
        {
            QSettings ini(s.FilePath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("PELLAN_PORT/COMPORT"), QStringLiteral("sim"));
        }
        QCOMPARE(s.ReadPort(), QStringLiteral("sim"));
        QCOMPARE(s.ReadComPort(), 3);
    }

    void bluetoothFriendlyNames()
    {
        QCOMPARE(ParseBluetoothComNumber(QStringLiteral("Standard Serial over Bluetooth link (COM12)")), 12);
        QCOMPARE(ParseBluetoothComNumber(QStringLiteral("Bluetooth Serial (COM4) ")), 4);
        QCOMPARE(ParseBluetoothComNumber(QStringLiteral("USB Serial Device (COM12)")), 0);
        QCOMPARE(ParseBluetoothComNumber(QStringLiteral("Bluetooth device")), 0);
    }

    void searchTriesRememberedPortFirstThenTheRestBackwards()
    {
        QCOMPARE(CBluetoothPortSearch::TryOrder({ QStringLiteral("4"), QStringLiteral("9") }, QStringLiteral("3")),
            QStringList({ QStringLiteral("3"), QStringLiteral("9"), QStringLiteral("4") }));
    }

    void searchSkipsPortsThatDoNotOpenAndWaitsForTheMeter()
    {
        QStringList opened;
        bool seen = false;
        CBluetoothPortSearch search(
            [&](const QString& port) {
                opened << port;
                return port != QLatin1String("3"); // the remembered port is gone
            },
            [&] { return seen; });
        QSignalSpy found(&search, &CBluetoothPortSearch::found);
        QSignalSpy finished(&search, &CBluetoothPortSearch::finished);
        search.Start({ QStringLiteral("4"), QStringLiteral("9") }, QStringLiteral("3"));
        QCOMPARE(opened, QStringList({ QStringLiteral("3"), QStringLiteral("9") }));
        QVERIFY(search.IsRunning());
        // The meter talks during the wait on port 9.
        QTimer::singleShot(700, [&] { seen = true; });
        QVERIFY(found.wait(3000));
        QCOMPARE(found.first().first().toString(), QStringLiteral("9"));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), true);
    }

    void searchCanBeCancelledDuringAWait()
    {
        CBluetoothPortSearch search([](const QString&) { return true; }, [] { return false; });
        QSignalSpy finished(&search, &CBluetoothPortSearch::finished);
        search.Start({}, QStringLiteral("3"));
        QVERIFY(search.IsRunning());
        search.Cancel();
        QVERIFY(!search.IsRunning());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
    }

    void meterAlreadySeenAcceptsTheFirstPortThatOpens()
    {
        CBluetoothPortSearch search([](const QString& port) { return port == QLatin1String("9"); }, [] { return true; });
        QSignalSpy found(&search, &CBluetoothPortSearch::found);
        search.Start({ QStringLiteral("4"), QStringLiteral("9") }, QStringLiteral("3"));
        QCOMPARE(found.count(), 1);
        QCOMPARE(found.first().first().toString(), QStringLiteral("9"));
    }
};

QTEST_GUILESS_MAIN(TestPortSettings)
#include "test_portsettings.moc"
