#pragma once
// The main window: owns the meter link, the frame decoding, the live display and logger list
// pages, the link watchdog and the application's commands.
#include "link/BleLink.h"
#include "platform/PortSettings.h"
#include "protocol/MeterEvent.h"
#include "protocol/ReadableWatch.h"

#include <QMainWindow>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <memory>

class CBleScan;
class CDocManager;
class CMyOrvelDoc;
class CBluetoothPortSearch;
class CLeftDlg;
class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMenu;
class QTabWidget;
class QTreeWidget;
class CMeterProtocol;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens a meter's own serial port at 9600 baud (three tries); warns and returns false when it
    // cannot be opened. Installs the link's receive callback; starts no receive thread.
    bool OpenMeterPort(const QString& port);
    // The same without the warning: three tries at 9600 baud with the receive path installed.
    bool TryOpenMeterPort(const QString& port);
    // Link watchdog (timer 2, every second) and what it does when the meter has gone silent.
    void OnWatchdog();
    void OnLinkLost();
    // Part of the watchdog: bytes that make no readable frame are named in the status bar.
    void CheckReadableFrames();
    // Key codes of the meter keys and the F1 menu (ignored until meter data has been seen).
    void OnMeterKey(int code);
    // Starts timer 2 (1000 ms) and notes the time, as after a successful connect.
    void StartWatchdog();

    // Opens the built-in simulated meter, scans and connects to it (the --demo start).
    void StartDemo();

    // Seconds since the epoch; replaceable so tests can drive the watchdog.
    void SetClock(std::function<qint64()> now) { m_fnNow = std::move(now); }

    CBleLink& link() { return m_link; }
    CMeterProtocol& protocol() { return *m_pProtocol; }
    CLeftDlg* leftDlg() const { return m_pLeftDlg; }
    QTabWidget* pages() const { return m_pPages; }
    QDockWidget* dockPane() const { return m_pDockPageBar; }
    QMdiArea* mdiArea() const { return m_pMdiArea; }
    bool watchdogRunning() const { return m_timer2.isActive(); }
    int lostCount() const { return m_nLostCount; }
    CBleScan* scanDialog() const;
    CPortSettings& settings() { return m_settings; }
    QAction* action(const QString& name) const;
    CDocManager* docManager() const { return m_pDocManager; }

public slots:
    void OnConnectBle();
    void OnPortOther();
    void OnSearchBluetooth();
    void OnDisconnect();
    void OnTogglePane();
    void OnHelp();
    void OnAbout();
    void OnStart();
    void OnStop();

signals:
    // A MAX/MIN or PEAK frame carried an unset clock (shown once as a message box).
    void dateWarning();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void ShowDocument(CMyOrvelDoc* doc);
    void BlankDisplay();
    void OnMeterEvent(const MeterEvent& event);
    void UpdateRecordingActions();
    qint64 Now() const { return m_fnNow(); }

    CBleLink m_link;
    std::unique_ptr<CMeterProtocol> m_pProtocol;
    CPortSettings m_settings;
    int m_nComPort = 1;
    int m_nLostCount = 0;
    bool m_bSilenceShown = false; // the status bar says the meter went silent
    QThreadPool m_commandWriters; // one-shot meter command writes, off the GUI thread, in order

    QMdiArea* m_pMdiArea = nullptr;
    CDocManager* m_pDocManager = nullptr;
    QDockWidget* m_pDockPageBar = nullptr;
    QTabWidget* m_pPages = nullptr;
    CLeftDlg* m_pLeftDlg = nullptr;
    QTreeWidget* m_pLoggerList = nullptr;
    QPointer<CBleScan> m_pBleScan;
    CBluetoothPortSearch* m_pSearch = nullptr;
    QLabel* m_pStatusMessage = nullptr;
    QTimer m_timer1; // blanks the display shortly after start-up
    QTimer m_timer2; // link watchdog
    QMap<QString, QAction*> m_actions;
    QMenu* m_pViewMenu = nullptr;
    std::function<qint64()> m_fnNow;
    CReadableWatch m_readableWatch;
};
