#pragma once
// The view of a data-log document: the tabs "Graph", "Data List" and "Summary", the trend graph
// with its scroll bars, the data list, the summary text, and the commands of the graph tool bar
// and the data-log menus (tools, settings, export, print, copy).
//
// For the recording paths: AppendListRow adds a row and scrolls it into view; Graph() gives
// AppendLastPoint and the vertical range (SetYRange, IsZoomedOrMoved); OnScrollUpdate is the
// scroll-bar refresh that goes before each incremental draw.
#include "datalog/DataLogText.h"
#include "datalog/ExportJob.h"
#include "datalog/PrintRX.h"
#include "datalog/ObData.h"
#include "recording/RecordingView.h"

#include <QPointer>
#include <QVector>
#include <QWidget>
#include <functional>

class CDataListModel;
class CDataListWindow;
class CGraphDlg;
class CMyOrvelDoc;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QTabBar;
class QTimer;
class QTableView;

class CMyOrvelView : public QWidget, public IRecordingView {
    Q_OBJECT
public:
    // Command ids of the graph tool bar and the data-log menus.
    enum Command {
        IdMove = 32771,
        IdRect = 32772,
        IdXBig = 32773,
        IdYBig = 32774,
        IdBig = 32775,
        IdSmall = 32776,
        IdShowNumber = 32777,
        IdAll = 32778,
        IdSetting = 32780,
        IdFft = 32792,
        IdExport = 32793,
        IdPrintGraph = 32798,
        IdPrintData = 32799,
    };
    enum Tab { TabGraph, TabList, TabSummary };

    explicit CMyOrvelView(CMyOrvelDoc* doc, QWidget* parent = nullptr);
    ~CMyOrvelView() override;

    // The view the graph tool bar and the menus act on; null when none is active.
    static CMyOrvelView* Active();
    static void SetActive(CMyOrvelView* view);

    CMyOrvelDoc* GetDocument() const;
    CGraphDlg* Graph() const { return m_pGraph; }
    CDataListModel* ListModel() const { return m_pListModel; }
    QTableView* List() const { return m_pList; }
    // The page of the list the table shows, and the scroll bar that moves it.
    CDataListWindow* ListWindow() const { return m_pListWindow; }
    QScrollBar* ListScroll() const { return m_pListScroll; }
    // The summary's text box, its text brought up to date.
    QPlainTextEdit* SummaryBox();
    QTabBar* Tabs() const { return m_pTab; }
    QScrollBar* HScroll() const { return m_pHScroll; }
    QScrollBar* VScroll() const { return m_pVScroll; }

    bool m_bLiveView = true; // recording target: additions refresh the summary
    bool m_bSavedTarget = false; // receives the meter's saved readings
    bool m_bAutoScale = true; // Y range follows the data
    double m_dManualMax = 50.0;
    double m_dManualMin = -50.0;

    // First update: tabs and columns; a loaded file is listed and its range set; points handed
    // in from a logger download (`downloaded`, emptied here) are moved into the document, which
    // is titled "DataLogger" and is no longer live.
    void OnInitialUpdate(QVector<CObData>* downloaded = nullptr);
    // The document already holds a downloaded record: list it by the downloaded list's rules,
    // fit the graph to [yMin, yMax] and stop being a live target.
    void ShowDownloaded(double yMax, double yMin);
    // Appends one data-list row and scrolls it into view.
    void AppendListRow(const QString& time, const QString& unit, double value, const QString& type,
        datalog_text::Place place = datalog_text::Place::LiveList);
    // Rebuilds the summary box from the document.
    void RefreshSummary();

    void SelectTab(int tab);

    // The recording paths (see RecordingView.h).
    bool IsLiveView() const override { return m_bLiveView; }
    void SetLiveView(bool on) override { m_bLiveView = on; }
    bool IsSavedTarget() const override { return m_bSavedTarget; }
    void SetSavedTarget(bool on) override { m_bSavedTarget = on; }
    int ListRowCount() const override;
    void AddListRow(const RecordingListRow& row, bool scrollIntoView) override;
    void RefreshAfterLivePoint() override;
    void InvalidateGraph() override;
    bool IsAutoScale() const override { return m_bAutoScale; }
    bool IsZoomedOrMoved() const override;
    void SetYRange(double max, double min) override;

    // Fills a "Graph" menu with the data-log commands (tools, "Graph Setting", "Export To Excel",
    // "Print Graph", "Print Data"), each sent to the active view; disabled while none is active.
    static void AddMenuCommands(QMenu* menu);

    // The export in progress (null when none): "Export To Excel" writes the ".xls" text, an
    // ".xlsx" workbook or CSV by the chosen file's extension, a slice at a time.
    CExportJob* RunningExport() const { return m_pExport; }
    // "Print Data" in progress (null when none): drawn a few pages per turn of the event loop.
    CDataPrintJob* RunningPrint() const { return m_pPrint; }

    // File choice of the export; tests replace it (an empty answer cancels).
    using SaveChooser = std::function<QString(QWidget* parent, const QString& proposed)>;
    static void SetSaveChooserForTesting(SaveChooser chooser);

public slots:
    // A command id of the table above.
    void OnCommand(int id);
    // Message 0x464: the scroll bars follow the graph's state 0.
    void OnScrollUpdate();
    void OnSetting();
    void OnExport();
    void OnPrintGraph();
    void OnPrintData();
    void OnCopyGraph();

signals:
    // The FFT range tool chose positions of series 0 (from < to).
    void fftRangeChosen(int from, int to);
    // A short text for the status bar from the graph's tools.
    void hint(const QString& text);
    // This view took over downloaded logger points (the main window keeps a pointer to it).
    void becameDownloadView(CMyOrvelView* view);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Layout();
    void FitListColumns(int listWidth);
    bool HasPoints() const;
    void OnHScroll(int action);
    void OnVScroll(int action);
    void OnListPageChanged();
    // The list's scroll bar after the page; unless `always`, only when that changes its pixels.
    void SyncListScroll(bool always);
    // Moves the list's pixels up by the rows appended since the last paint.
    void MoveListPixels();
    // A file being read in the background: its points so far are shown, the first piece at once
    // and later ones at most every kLoadRefreshMs (each showing redraws the whole graph).
    void OnLoadProgress();
    void ShowLoadedSoFar();
    // The file was read whole: its rows, statistics and range as for a file read at once, without
    // listing the rows shown on the way again.
    void FinishLoadedView();
    // Fits the graph's Y range to the document's extremes (with automatic scaling).
    void FitToDocument();

    QPointer<CMyOrvelDoc> m_pDoc;
    QTabBar* m_pTab;
    QPushButton* m_pCopy;
    CGraphDlg* m_pGraph;
    QScrollBar* m_pHScroll;
    QScrollBar* m_pVScroll;
    QTableView* m_pList;
    CDataListModel* m_pListModel;
    CDataListWindow* m_pListWindow;
    QScrollBar* m_pListScroll;
    int m_nListShift = 0; // rows the list's page moved up since its pixels were last moved
    QPlainTextEdit* m_pSummary;
    bool m_bInitialised = false;
    bool m_bSummaryStale = false; // the document changed while the summary was not shown
    bool m_bSyncingScroll = false;
    static constexpr int kLoadRefreshMs = 100;
    QTimer* m_pLoadRefresh;
    bool m_bShownLoading = false; // some of a file being read is shown
    QPointer<CExportJob> m_pExport;
    QPointer<CDataPrintJob> m_pPrint;
};
