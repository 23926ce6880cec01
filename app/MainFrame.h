#pragma once
// The main window: a switchboard between the meter's link controller, the frame decoding, the
// live display and logger list pages, the documents and the application's commands.
#include "link/PortSettings.h"
#include "protocol/MeterEvent.h"
#include "protocol/ReadableWatch.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <vector>

class CBleScan;
class CDocManager;
class CKeyLockIndicators;
class CMyOrvelDoc;
class CBluetoothPortSearch;
class CLeftDlg;
class CDisplayPane;
class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMenu;
class QTabWidget;
class QTreeWidget;
class CMeterProtocol;
class CRecorder;
class CLinkController;
class CRecordingJournals;
class CWindowRecordingHost;
class CMeterSession;
struct LiveReading;
class CSessionUi;

// The size a first start opens at on a screen with `available` room.
QSize MainWindowStartSize(const QSize& available);

// The main window's title: the program's name, then " - " and the active document's title when
// there is one.
QString MainWindowTitle(const QString& appTitle, const QString& documentTitle);
class CLoggerDownload;
class CLoggerList;
class CLoggerUi;
class COscController;
class COscUi;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // Opens a meter's own serial port at 9600 baud (three tries), keeping the working link
    // until it has opened; warns and returns false when it cannot be opened. Installs the link's
    // receive callback; starts no receive thread.
    bool OpenMeterPort(const QString& port);
    // Part of the watchdog: bytes that make no readable frame are named in the status bar.
    void CheckReadableFrames();
    // Key codes of the meter keys and the F1 menu (ignored until meter data has been seen).
    void OnMeterKey(int code);

    // A file given on the command line (a double click in the file manager): an ".osc" file opens
    // in the oscilloscope window, anything else as a data-log document.
    void OpenFile(const QString& path);

    // Opens the built-in simulated meter, scans and connects to it (the --demo start).
    void StartDemo();
    // Demo > "Add a second meter": the simulated current meter on "sim2" as a further meter.
    void AddDemoMeter();

    // The meters connected now, meter 1 first; meter 1 is always there. A meter's panel and
    // documents go with it.
    int MeterCount() const { return int(m_meters.size()); }
    CMeterSession* meter(int i) const;
    CLeftDlg* meterPanel(int i) const;
    QDockWidget* meterDock(int i) const;
    // A further meter with its own link, panel and recording; returns it (null beyond the most
    // the settings file keeps).
    CMeterSession* AddMeter();
    // Disconnects meter i (> 0) and removes it with its panel (what closing its panel does).
    void RemoveMeter(int i);
    // The documents other meters recorded from the same Start as `doc` (the first of each).
    QList<CMyOrvelDoc*> RecordedTogetherWith(const CMyOrvelDoc* doc) const;
    // Graph > "Show Together": the graph of `doc` also draws those documents, or (again) only
    // its own. False when there is nothing to show with it.
    bool ShowTogether(CMyOrvelDoc* doc, bool on = true);

    CLinkController& links() { return *m_pLinks; }
    // The size and place of the last run (its maximised state included); on a first start a size
    // that suits the screen, maximised. Saved when the window closes.
    void RestoreWindowPlace();
    void SaveWindowPlace();
    // What the document area says while no document is open.
    QLabel* emptyHint() const { return m_pEmptyHint; }
    CMeterProtocol& protocol() { return *m_pProtocol; }
    CLeftDlg* leftDlg() const { return m_pLeftDlg; }
    QString statusText() const;
    QTabWidget* pages() const { return m_pPages; }
    CDisplayPane* displayPane() const { return m_pDisplayPane; }
    QDockWidget* dockPane() const { return m_pDockPageBar; }
    QMdiArea* mdiArea() const { return m_pMdiArea; }
    CBleScan* scanDialog() const;
    CPortSettings& settings() { return m_settings; }
    QAction* action(const QString& name) const;
    CDocManager* docManager() const { return m_pDocManager; }
    CKeyLockIndicators* keyLocks() const { return m_pKeyLocks; }
    CRecorder& recorder() { return *m_pRecorder; }
    CRecordingJournals& journals() { return *m_pJournals; }
    CLoggerDownload* loggerDownload() const { return m_pLogger; }
    CLoggerUi* loggerUi() const { return m_pLoggerUi; }
    COscController* oscController() const { return m_pOsc; }
    COscUi* oscUi() const { return m_pOscUi; }
    CSessionUi* sessionUi() const { return m_pSessionUi; }

public slots:
    void OnConnectBle();
    // Com Port > "Add meter...": the Scan Device dialog for a further meter on its own port.
    void OnAddMeter();
    void OnPortOther();
    void OnSearchBluetooth();
    // After a Bluetooth port search that heard no meter: says so and offers the Port dialog.
    void OfferPortDialog();
    void OnDisconnect();
    void OnTogglePane();
    // View > Zoom display: 1.0, 1.5, 2.0, or CDisplayPane::kFit.
    void SetDisplayZoom(double zoom);
    void OnHelp();
    void OnAbout();
    void OnStart();
    void OnStop();
    void OnDownloadLogger();

signals:
    // A MAX/MIN or PEAK frame carried an unset clock (shown once as a message box).
    void dateWarning();
    // A meter was added (its session is made and wired) or is about to be removed.
    void meterAdded(CMeterSession* meter);
    void meterRemoved(CMeterSession* meter);
    // Each live reading of every meter, on the GUI thread.
    void reading(const LiveReading& r);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreatePanes();
    void CreateZoomMenu();
    void ShowDocument(CMyOrvelDoc* doc);
    // The hint in the empty document area (MainFrameWindow.cpp).
    void CreateEmptyHint();
    void UpdateEmptyHint();
    void BlankDisplay();
    void OnLinkLost(int lostCount);
    void ShowLinkStatus();
    void WireLinks();
    void UpdateTitle();
    void UpdateRecordingActions();
    // Several meters (MainFrameMeters.cpp).
    struct MeterPanel {
        std::unique_ptr<CMeterSession> session;
        CWindowRecordingHost* host = nullptr; // owned by the session
        CLeftDlg* panel = nullptr;
        CDisplayPane* pane = nullptr;
        QDockWidget* dock = nullptr;
        QLabel* status = nullptr; // the link status of a further meter, under its panel
        std::unique_ptr<CPortSettings> settings; // its port and address in the settings file
    };
    CMeterSession* MakeMeter(int index);
    void WireRecorder(CMeterSession* meter);
    void CreateMeterPanel(MeterPanel& m);
    void UpdateMeterLabels();
    void RememberMeters();
    void StopMeterOf(CMyOrvelDoc* doc);
    QString LegendName(const CMyOrvelDoc* doc) const;
    void UpdateShowTogether();
    int IndexOf(const CMeterSession* meter) const;
    // Scans the simulated dongle on `port` and connects to the first meter it lists.
    void ConnectDemoMeter(CMeterSession* meter, const QString& port);
    // The closing of a further meter's panel (MainFrameWindow.cpp's event filter).
    bool OnMeterDockClosing(QObject* watched);
    CMeterSession* MeterOfDocument(const CMyOrvelDoc* doc) const;
    // Alarms and derived readings over the meters' live readings (MainFrameSession.cpp).
    void CreateSession();
    // Real Time > Alarms...: the dialog of the one meter, or of the meter the user picks.
    void OnAlarms();

    std::vector<MeterPanel> m_meters;
    int m_nNextMeter = 1; // the index the next added meter gets
    int m_nRecordingGroup = 0; // the documents of one Start share it
    // Meter 1's parts, which the keys, the logger and the oscilloscope use.
    CMeterProtocol* m_pProtocol = nullptr;
    CLinkController* m_pLinks = nullptr;
    CPortSettings m_settings;
    int m_nComPort = 1;

    QMdiArea* m_pMdiArea = nullptr;
    CDocManager* m_pDocManager = nullptr;
    QDockWidget* m_pDockPageBar = nullptr;
    QTabWidget* m_pPages = nullptr;
    CLeftDlg* m_pLeftDlg = nullptr;
    CDisplayPane* m_pDisplayPane = nullptr;
    CLoggerList* m_pLoggerList = nullptr;
    CLoggerDownload* m_pLogger = nullptr;
    CLoggerUi* m_pLoggerUi = nullptr;
    COscController* m_pOsc = nullptr; // the oscilloscope records and requests
    COscUi* m_pOscUi = nullptr; // its windows: store buttons, the OSC window, progress
    QPointer<CBleScan> m_pBleScan;
    CBluetoothPortSearch* m_pSearch = nullptr;
    QLabel* m_pStatusMessage = nullptr;
    QLabel* m_pEmptyHint = nullptr;
    CKeyLockIndicators* m_pKeyLocks = nullptr;
    QTimer m_timer1; // blanks the display shortly after start-up
    QMap<QString, QAction*> m_actions;
    QMenu* m_pViewMenu = nullptr;
    QMetaObject::Connection m_titleConnection; // the active document's renames
    // Recording of readings into documents (meter 1's recorder), and the crash journals.
    CRecorder* m_pRecorder = nullptr;
    CRecordingJournals* m_pJournals = nullptr;
    CReadableWatch m_readableWatch;
    CSessionUi* m_pSessionUi = nullptr;
    std::unique_ptr<CWindowRecordingHost> m_pDerivedHost; // makes the power document
};
