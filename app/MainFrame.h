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
    void OnMeterEvent(const MeterEvent& event);
    void OnLinkLost(int lostCount);
    void ShowLinkStatus();
    void WireLinks();
    void UpdateTitle();
    void UpdateRecordingActions();
    // Alarms and derived readings over the meters' live readings (MainFrameSession.cpp).
    void CreateSession();
    void FeedSession(const MeterEvent& event);

    std::unique_ptr<CMeterProtocol> m_pProtocol;
    // Declared after the protocol: its receive threads, which run the dispatcher, stop first.
    std::unique_ptr<CLinkController> m_pLinks;
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
    // Recording of readings into documents, and its crash journals.
    std::unique_ptr<CWindowRecordingHost> m_pRecordingHost;
    CRecorder* m_pRecorder = nullptr;
    CRecordingJournals* m_pJournals = nullptr;
    CReadableWatch m_readableWatch;
    CSessionUi* m_pSessionUi = nullptr;
};
