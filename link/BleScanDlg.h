#pragma once
// "Scan Device": the dialog through which the user opens the dongle's port, scans for meters and
// connects to one. It owns no protocol logic: the link does the work; the dialog shows it.
#include <QDialog>
#include <QTimer>
#include <functional>

class CBleLink;
class IBleCentral;
struct BleAdvert;
class CPortSettings;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CBleScan : public QDialog {
    Q_OBJECT
public:
    enum { IDD = 305 };

    // onConnected runs once Connect has sent its last command (the main window starts its link
    // watchdog), also when the dialog was closed during the connect pause.
    CBleScan(CBleLink* link, CPortSettings* settings, std::function<void()> onConnected, QWidget* parent = nullptr);

    // 0 on success, 1 when the port field is 0 or empty, 2 when the port cannot be opened (after a
    // warning), 3 when the receive thread cannot be started.
    int OpenDongle();

    QLineEdit* portEdit() const { return m_pPort; }
    QPushButton* scanButton() const { return m_pScan; }
    QPushButton* connectButton() const { return m_pConnect; }
    QTableWidget* deviceList() const { return m_pList; }
    QLabel* statusLine() const { return m_pStatus; }

    // Scan also asks the computer's own Bluetooth adapter, and lists the meters it sees (those
    // advertising the meter's service) marked as such; connecting to one of those calls
    // connectDirect(address) instead of the dongle.
    void SetDirectCentral(IBleCentral* central, std::function<void(const QString&)> connectDirect);
    // The mark after the name of a meter seen by the computer's own adapter.
    static QString DirectMark() { return QStringLiteral(" (direct)"); }

public slots:
    void OnOpen();
    void OnScan();
    void OnConnect();

private:
    void AddRow(const QStringList& columns);
    void AddDirectRow(const BleAdvert& advert);

    CBleLink* m_pLink;
    CPortSettings* m_pSettings;
    std::function<void()> m_fnConnected;
    QLineEdit* m_pPort;
    QPushButton* m_pOpen;
    QPushButton* m_pScan;
    QPushButton* m_pConnect;
    QTableWidget* m_pList;
    QLabel* m_pStatus;
    IBleCentral* m_pCentral = nullptr;
    std::function<void(const QString&)> m_fnConnectDirect;
    QTimer m_scanTimer; // timer 1: re-enables Scan after 10 s
};

// The text of the "can't open" warning for a port: "COM%d" for a number, else the name itself.
QString PortOpenWarning(const QString& port);
