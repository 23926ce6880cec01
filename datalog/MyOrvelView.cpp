#include "datalog/MyOrvelView.h"

#include "datalog/ColorSetting.h"
#include "datalog/DataListModel.h"
#include "datalog/DataListDelegate.h"
#include "datalog/ExportJob.h"
#include "datalog/DataListWindow.h"
#include "datalog/GraphDlg.h"
#include "datalog/GraphPreferences.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/PrintRX.h"
#include "platform/MessageBox.h"
#include "platform/Workbook.h"
#include "link/PortSettings.h"

#include <QApplication>
#include <utility>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QWheelEvent>

namespace {

QPointer<CMyOrvelView>& activeView()
{
    static QPointer<CMyOrvelView> view;
    return view;
}

CMyOrvelView::SaveChooser& saveChooser()
{
    static CMyOrvelView::SaveChooser chooser;
    return chooser;
}

// The save dialog offers the tab-separated ".xls" text first (what earlier versions wrote),
// then a real workbook and CSV; the chosen filter gives a name without extension its suffix.
QString chooseExportFile(QWidget* parent, const QString& proposed)
{
    if (saveChooser())
        return saveChooser()(parent, proposed);
    static const char* const kSuffixes[] = { "xls", "xlsx", "csv" };
    QStringList filters { QStringLiteral("Data File(*.xls)"), QStringLiteral("Excel Workbook(*.xlsx)"),
        QStringLiteral("CSV File(*.csv)") };
    if (!CWorkbook::Supported())
        filters.removeAt(1);
    QFileDialog dlg(parent, QString(), proposed);
    dlg.setNameFilters(filters);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QStringLiteral("xls"));
    dlg.setOption(QFileDialog::ReadOnly, false);
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& filter) {
        for (const char* suffix : kSuffixes) {
            if (filter.endsWith(QStringLiteral("(*.%1)").arg(QLatin1String(suffix)))) {
                dlg.setDefaultSuffix(QLatin1String(suffix));
                // The proposed name follows the type.
                const QStringList chosen = dlg.selectedFiles();
                if (!chosen.isEmpty()) {
                    const QFileInfo info(chosen.first());
                    dlg.selectFile(info.completeBaseName() + QLatin1Char('.') + QLatin1String(suffix));
                }
            }
        }
    });
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.selectedFiles().value(0);
}

// A progress bar with a Cancel button beside the window, which stays usable meanwhile.
QProgressDialog* progressDialog(QWidget* parent, const QString& label)
{
    auto* bar = new QProgressDialog(label, QStringLiteral("Cancel"), 0, 1000, parent);
    bar->setWindowTitle(QStringLiteral("Multimeter"));
    bar->setWindowModality(Qt::NonModal);
    bar->setAutoClose(false);
    bar->setAutoReset(false);
    bar->setMinimumDuration(300);
    bar->setValue(0);
    return bar;
}

} // namespace

CMyOrvelView* CMyOrvelView::Active() { return activeView().data(); }
void CMyOrvelView::SetActive(CMyOrvelView* view) { activeView() = view; }
void CMyOrvelView::SetSaveChooserForTesting(SaveChooser chooser) { saveChooser() = std::move(chooser); }

CMyOrvelView::CMyOrvelView(CMyOrvelDoc* doc, QWidget* parent)
    : QWidget(parent)
    , m_pDoc(doc)
{
    setObjectName(QStringLiteral("MyOrvelView"));
    m_pTab = new QTabBar(this);
    m_pTab->setObjectName(QStringLiteral("tabs"));
    m_pTab->setDrawBase(false);
    m_pCopy = new QPushButton(QStringLiteral("Copy Graph"), this);
    m_pCopy->setObjectName(QStringLiteral("copyGraph"));
    m_pGraph = new CGraphDlg(this);
    m_pGraph->setObjectName(QStringLiteral("graph"));
    m_pGraph->SetDocument(doc);
    m_pHScroll = new QScrollBar(Qt::Horizontal, this);
    m_pVScroll = new QScrollBar(Qt::Vertical, this);
    m_pList = new QTableView(this);
    m_pList->setObjectName(QStringLiteral("dataList"));
    m_pListModel = new CDataListModel(this);
    m_pListWindow = new CDataListWindow(m_pListModel, this);
    m_pList->setModel(m_pListWindow);
    // The page always fits: the list's own scroll bar moves the page instead.
    m_pList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pList->viewport()->installEventFilter(this);
    m_pListScroll = new QScrollBar(Qt::Vertical, this);
    m_pListScroll->setObjectName(QStringLiteral("dataListScroll"));
    m_pList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pList->setShowGrid(true);
    m_pList->verticalHeader()->hide();
    m_pList->verticalHeader()->setDefaultSectionSize(20);
    m_pList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pList->setItemDelegate(new CDataListDelegate(m_pList));
    for (int c = 0; c < CDataListModel::ColumnCount; ++c)
        m_pList->setColumnWidth(c, CDataListModel::ColumnWidth(c));
    m_pSummary = new QPlainTextEdit(this);
    m_pSummary->setObjectName(QStringLiteral("summary"));
    m_pSummary->setReadOnly(true);

    // The user's graph settings hold for every view, whatever document it shows.
    const GraphPreferences prefs = GraphPreferences::Load();
    m_pGraph->m_colors = prefs.colors;
    m_pGraph->m_bMaskPoints = prefs.maskPoints;
    m_bAutoScale = prefs.autoScale;
    m_dManualMax = prefs.manualMax;
    m_dManualMin = prefs.manualMin;
    if (!m_bAutoScale)
        m_pGraph->SetYRange(m_dManualMax, m_dManualMin);

    connect(m_pTab, &QTabBar::currentChanged, this, &CMyOrvelView::SelectTab);
    connect(m_pCopy, &QPushButton::clicked, this, &CMyOrvelView::OnCopyGraph);
    connect(m_pGraph, &CGraphDlg::scrollStateChanged, this, &CMyOrvelView::OnScrollUpdate);
    connect(m_pGraph, &CGraphDlg::fftRangeChosen, this, &CMyOrvelView::fftRangeChosen);
    connect(m_pGraph, &CGraphDlg::hint, this, &CMyOrvelView::hint);
    connect(m_pHScroll, &QScrollBar::actionTriggered, this, &CMyOrvelView::OnHScroll);
    connect(m_pVScroll, &QScrollBar::actionTriggered, this, &CMyOrvelView::OnVScroll);
    connect(m_pListWindow, &CDataListWindow::pageChanged, this, &CMyOrvelView::OnListPageChanged);
    connect(m_pListScroll, &QScrollBar::valueChanged, m_pListWindow, &CDataListWindow::SetFirst);
    m_pListScroll->installEventFilter(this);
    // A reading moves the page up a row: the table's pixels move with it and only the new row is
    // painted, not the whole page. The rows moved are added up and the pixels moved once, just
    // before the window paints (moving them costs a copy of the table's pixels).
    connect(m_pListWindow, &CDataListWindow::pageScrolled, this, [this](int rows) {
        if (!m_pList->isVisible())
            return;
        if (m_nListShift == 0)
            m_pList->window()->installEventFilter(this);
        m_nListShift += rows;
    });
    if (doc) {
        connect(doc, &CMyOrvelDoc::summaryRefreshRequested, this, [this] {
            // Laid out anew on every reading, the text costs more than the reading itself: it
            // follows while its tab is the current one and is rebuilt when the tab is chosen.
            if (m_bLiveView && m_pTab->currentIndex() == TabSummary)
                RefreshSummary();
        });
        connect(doc, &CMyOrvelDoc::contentsLoaded, this, [this] {
            m_bLiveView = false;
            if (m_bShownLoading) {
                FinishLoadedView();
                return;
            }
            m_bInitialised = false;
            OnInitialUpdate();
        });
        connect(doc, &CMyOrvelDoc::loadProgress, this, &CMyOrvelView::OnLoadProgress);
        connect(doc, &CMyOrvelDoc::loadFailed, this, [this] {
            m_pLoadRefresh->stop();
            emit hint(QString());
        });
    }
    m_pLoadRefresh = new QTimer(this);
    m_pLoadRefresh->setSingleShot(true);
    m_pLoadRefresh->setInterval(kLoadRefreshMs);
    connect(m_pLoadRefresh, &QTimer::timeout, this, &CMyOrvelView::ShowLoadedSoFar);
    resize(800, 560);
}

CMyOrvelView::~CMyOrvelView()
{
    if (Active() == this)
        SetActive(nullptr);
}

CMyOrvelDoc* CMyOrvelView::GetDocument() const { return m_pDoc.data(); }

bool CMyOrvelView::HasPoints() const
{
    return m_pDoc && datalog_text::PointCount(m_pDoc->m_arrSeries[0]) > 0;
}

void CMyOrvelView::OnInitialUpdate(QVector<CObData>* downloaded)
{
    if (!m_bInitialised && m_pTab->count() == 0) {
        m_pTab->addTab(QStringLiteral("Graph"));
        m_pTab->addTab(QStringLiteral("Data List"));
        m_pTab->addTab(QStringLiteral("Summary"));
    }
    m_bInitialised = true;
    Layout(); // the tab bar has its height now
    SelectTab(m_pTab->currentIndex());
    if (!m_pDoc)
        return;
    CMyOrvelDoc& doc = *m_pDoc;
    const CDataSeries& s = doc.m_arrSeries[0];
    if (!s.IsEmpty() && !doc.m_bLive) {
        m_bLiveView = false;
        m_pListModel->ShowDocument(&doc, datalog_text::Place::LoadedList);
        RefreshSummary();
        FitToDocument();
    }
    if (downloaded && !downloaded->isEmpty()) {
        doc.SetTitle(QStringLiteral("DataLogger"));
        m_bLiveView = false;
        doc.m_bLive = false;
        const datalog_text::YRange r = datalog_text::TakeDownloadedPoints(doc, *downloaded);
        downloaded->clear();
        ShowDownloaded(r.max, r.min);
    }
    OnScrollUpdate();
}

void CMyOrvelView::FitToDocument()
{
    if (!m_bAutoScale || !m_pDoc)
        return;
    const CDataSeries& s = m_pDoc->m_arrSeries[0];
    float limit = 0.0f;
    for (qsizetype i = 0; i < s.Size(); ++i) {
        if (!s.IsNull(i)) {
            limit = s.Range(i);
            break;
        }
    }
    const datalog_text::YRange r = datalog_text::FitYRange(m_pDoc->m_dMax, m_pDoc->m_dMin, limit);
    m_pGraph->SetYRange(r.max, r.min);
}

void CMyOrvelView::OnLoadProgress()
{
    if (!m_bShownLoading) {
        m_bShownLoading = true;
        m_bLiveView = false;
        m_bInitialised = false;
        OnInitialUpdate();
        m_pLoadRefresh->start();
        return;
    }
    if (!m_pLoadRefresh->isActive())
        m_pLoadRefresh->start();
}

void CMyOrvelView::ShowLoadedSoFar()
{
    if (!m_pDoc)
        return;
    m_pListModel->ShowAddedPoints();
    FitToDocument();
    m_pGraph->Invalidate();
    OnScrollUpdate();
    emit hint(QStringLiteral("Reading %1: %2%")
                  .arg(QDir::toNativeSeparators(m_pDoc->GetPathName()))
                  .arg(m_pDoc->LoadPermille() / 10));
}

void CMyOrvelView::FinishLoadedView()
{
    m_pLoadRefresh->stop();
    m_bShownLoading = false;
    if (!m_pDoc)
        return;
    // The rows of series 1 go between those of series 0, so only they make the list anew.
    if (m_pDoc->m_arrSeries[1].IsEmpty())
        m_pListModel->ShowAddedPoints();
    else
        m_pListModel->ShowDocument(m_pDoc.data(), datalog_text::Place::LoadedList);
    RefreshSummary();
    FitToDocument();
    // The X axis grew with the points as they came: it is set as for a file read at once, unless
    // the user zoomed or moved it meanwhile.
    if (!m_pGraph->IsZoomedOrMoved())
        m_pGraph->ResetHorizontal();
    m_pGraph->Invalidate();
    OnScrollUpdate();
    emit hint(QString());
}

void CMyOrvelView::ShowDownloaded(double yMax, double yMin)
{
    if (!m_pDoc)
        return;
    m_bLiveView = false;
    m_pListModel->ShowDocument(m_pDoc.data(), datalog_text::Place::DownloadedList);
    RefreshSummary();
    // The view may have shown another record: its X range, zoom and panning do not carry over.
    m_pGraph->ResetHorizontal();
    if (m_bAutoScale)
        m_pGraph->SetYRange(yMax, yMin);
    m_pGraph->SetDocument(m_pDoc.data());
    OnScrollUpdate();
    emit becameDownloadView(this);
}

void CMyOrvelView::AppendListRow(
    const QString& time, const QString& unit, double value, const QString& type, datalog_text::Place place)
{
    const int row = m_pListModel->AppendRow(time, unit, value, type, place);
    m_pListWindow->ShowRow(row);
}

int CMyOrvelView::ListRowCount() const { return m_pListModel->rowCount(); }

void CMyOrvelView::AddListRow(const RecordingListRow& row, bool scrollIntoView)
{
    // The row number is the list's own: the model numbers its rows. A row of a document point
    // is read back from the document when shown, so the list keeps no texts of its own for it.
    const int at = row.series >= 0 && m_pDoc
        ? m_pListModel->AppendPoint(m_pDoc.data(), row.series, row.point,
            row.live ? datalog_text::Place::LiveList : datalog_text::Place::SavedList)
        : m_pListModel->AppendRowText(row.time, row.unit, row.value, row.label);
    if (scrollIntoView)
        m_pListWindow->ShowRow(at);
}

void CMyOrvelView::RefreshAfterLivePoint()
{
    OnScrollUpdate();
    m_pGraph->AppendLastPoint();
    if (m_pSummary->isVisible())
        RefreshSummary();
}

void CMyOrvelView::InvalidateGraph()
{
    m_pGraph->SetDocument(m_pDoc.data());
    if (m_pSummary->isVisible())
        RefreshSummary();
}

bool CMyOrvelView::IsZoomedOrMoved() const { return m_pGraph->IsZoomedOrMoved(); }

void CMyOrvelView::SetYRange(double max, double min) { m_pGraph->FollowYRange(max, min); }

void CMyOrvelView::RefreshSummary()
{
    // Laid out only when it is shown (or read): the first layout of the text takes milliseconds,
    // which the turn that shows a downloaded or opened document cannot spare.
    m_bSummaryStale = m_pTab->currentIndex() != TabSummary;
    if (!m_bSummaryStale && m_pDoc)
        m_pSummary->setPlainText(datalog_text::SummaryText(*m_pDoc));
}

QPlainTextEdit* CMyOrvelView::SummaryBox()
{
    if (m_bSummaryStale) {
        m_bSummaryStale = false;
        if (m_pDoc)
            m_pSummary->setPlainText(datalog_text::SummaryText(*m_pDoc));
    }
    return m_pSummary;
}

void CMyOrvelView::SelectTab(int tab)
{
    if (m_pTab->currentIndex() != tab && tab >= 0)
        m_pTab->setCurrentIndex(tab);
    const bool graph = tab == TabGraph || tab < 0;
    m_pGraph->setVisible(graph);
    m_pHScroll->setVisible(graph);
    m_pVScroll->setVisible(graph);
    m_pList->setVisible(tab == TabList);
    m_pListScroll->setVisible(tab == TabList);
    m_pSummary->setVisible(tab == TabSummary);
    if (tab == TabSummary)
        RefreshSummary();
}

void CMyOrvelView::Layout()
{
    const int W = width(), H = height();
    // The button keeps its width at the right; the tabs give way to it in a narrow window.
    const int copyW = std::max(110, m_pCopy->sizeHint().width());
    const int copyX = std::max(12, W - copyW - 20);
    m_pCopy->setGeometry(copyX, 8, copyW, 28);
    m_pTab->setGeometry(12, 10, std::clamp(copyX - 20, 1, 320), m_pTab->sizeHint().height());
    // The graph ends where the horizontal bar begins, so the bar never covers the X labels.
    const QRect area(30, 60, std::max(1, W - 60), std::max(1, H - 85));
    m_pGraph->setGeometry(area);
    const int bar = m_pListScroll->sizeHint().width();
    m_pList->setGeometry(area.adjusted(0, 0, -bar, 0));
    m_pListScroll->setGeometry(area.right() - bar + 1, area.top(), bar, area.height());
    const int header = m_pList->horizontalHeader()->sizeHint().height();
    const int rowHeight = std::max(1, m_pList->verticalHeader()->defaultSectionSize());
    m_pListWindow->SetPageRows((area.height() - header - 2 * m_pList->frameWidth()) / rowHeight);
    m_pSummary->setGeometry(area);
    m_pVScroll->setGeometry(12, 60, 19, area.height());
    m_pHScroll->setGeometry(30, H - 25, std::max(1, W - 60), 20);
    FitListColumns(area.width() - bar);
}

void CMyOrvelView::FitListColumns(int listWidth)
{
    // The list's own widths while they fit; in a narrower window the columns that carry least
    // give way first (the empty "Remark", the row number, unit, type, time), so "Value" stays
    // whole.
    static const struct {
        int column, least;
    } order[] = { { 5, 20 }, { 0, 40 }, { 2, 50 }, { 4, 50 }, { 1, 110 } };
    int widths[CDataListModel::ColumnCount];
    int total = 0;
    for (int c = 0; c < CDataListModel::ColumnCount; ++c)
        total += widths[c] = CDataListModel::ColumnWidth(c);
    // The table shows one page of rows and its own bar only when it has one.
    const int ownBar = m_pList->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff
        ? 0
        : m_pList->verticalScrollBar()->sizeHint().width();
    const int avail = listWidth - 2 * m_pList->frameWidth() - ownBar;
    for (const auto& o : order) {
        if (total <= avail)
            break;
        // The header never makes a section narrower than its own minimum.
        const int least = std::max(o.least, m_pList->horizontalHeader()->minimumSectionSize());
        const int give = std::max(0, std::min(total - avail, widths[o.column] - least));
        widths[o.column] -= give;
        total -= give;
    }
    for (int c = 0; c < CDataListModel::ColumnCount; ++c)
        m_pList->setColumnWidth(c, widths[c]);
}

void CMyOrvelView::resizeEvent(QResizeEvent*) { Layout(); }

namespace {

// Where a scroll bar's slider would be drawn for these values.
QRect sliderRect(const QScrollBar* bar, int maximum, int page, int value)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.orientation = bar->orientation();
    opt.minimum = 0;
    opt.maximum = maximum;
    opt.pageStep = page;
    opt.singleStep = bar->singleStep();
    opt.sliderPosition = opt.sliderValue = value;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar);
}

} // namespace

void CMyOrvelView::MoveListPixels()
{
    const int rows = std::exchange(m_nListShift, 0);
    QWidget* viewport = m_pList->viewport();
    const int rowHeight = m_pList->verticalHeader()->defaultSectionSize();
    if (!m_pList->isVisible() || rows <= 0)
        return;
    if (rows >= m_pListWindow->PageRows()) {
        viewport->update();
        return;
    }
    viewport->scroll(0, -rows * rowHeight);
    // The rows that came in at the bottom, wherever the table marked them before the move.
    const int bottom = m_pListWindow->PageRows() * rowHeight;
    viewport->update(QRect(0, bottom - rows * rowHeight, viewport->width(), rows * rowHeight));
}

void CMyOrvelView::OnListPageChanged() { SyncListScroll(false); }

void CMyOrvelView::SyncListScroll(bool always)
{
    const int maximum = m_pListWindow->LastFirst(), page = m_pListWindow->PageRows(), value = m_pListWindow->First();
    QScrollBar* bar = m_pListScroll;
    // A reading appended at the end of a long list moves the slider by far less than a pixel: the
    // bar is left as drawn (a repaint of it would cost more than the new row) until its slider or
    // the ends it shows would change, or the user reaches for it (the event filter brings it up to
    // date first).
    if (!always && !bar->isSliderDown() && bar->maximum() > 0 && maximum > 0
        && (bar->value() == bar->maximum()) == (value == maximum) && (bar->value() == 0) == (value == 0)
        && sliderRect(bar, bar->maximum(), bar->pageStep(), bar->value()) == sliderRect(bar, maximum, page, value))
        return;
    const QSignalBlocker block(m_pListScroll);
    m_pListScroll->setRange(0, m_pListWindow->LastFirst());
    m_pListScroll->setPageStep(m_pListWindow->PageRows());
    m_pListScroll->setValue(m_pListWindow->First());
}

bool CMyOrvelView::eventFilter(QObject* watched, QEvent* event)
{
    // The wheel over the list moves its page.
    if (watched == m_pList->viewport() && event->type() == QEvent::Wheel) {
        QApplication::sendEvent(m_pListScroll, event);
        return true;
    }
    if (event->type() == QEvent::UpdateRequest && m_nListShift > 0 && watched == m_pList->window())
        MoveListPixels();
    // The list's bar may lag the page by a few rows (see SyncListScroll): exact before it is used.
    if (watched == m_pListScroll
        && (event->type() == QEvent::Wheel || event->type() == QEvent::MouseButtonPress
            || event->type() == QEvent::KeyPress))
        SyncListScroll(true);
    return QWidget::eventFilter(watched, event);
}

void CMyOrvelView::showEvent(QShowEvent*)
{
    if (!m_bInitialised)
        OnInitialUpdate();
}

void CMyOrvelView::OnScrollUpdate()
{
    const CGraphModel& m = m_pGraph->Model();
    m_bSyncingScroll = true;
    m_pHScroll->setRange(0, m.HScrollMax());
    m_pHScroll->setValue(m.HScrollPos());
    m_pHScroll->setPageStep(std::max(1, int(m.PlotWidth() * m.State(0).m_dXPerPixel)));
    m_pVScroll->setRange(0, m.VScrollMax());
    m_pVScroll->setValue(m.VScrollPos());
    // Vertical positions are plot pixels: a page is the plot, a step a twentieth of it.
    m_pVScroll->setPageStep(std::max(1, m.PlotHeight()));
    m_pVScroll->setSingleStep(std::max(1, m.PlotHeight() / 20));
    m_bSyncingScroll = false;
}

void CMyOrvelView::OnHScroll(int)
{
    // The slider already moved; its new position is the new left end.
    const int pos = m_pHScroll->sliderPosition();
    m_pGraph->Model().SetHScrollPos(pos);
    m_pGraph->SetMoved();
    m_pGraph->Invalidate();
}

void CMyOrvelView::OnVScroll(int)
{
    const int pos = m_pVScroll->sliderPosition();
    m_pGraph->Model().SetVScrollPos(pos);
    m_pGraph->SetMoved();
    m_pGraph->Invalidate();
}

void CMyOrvelView::AddMenuCommands(QMenu* menu)
{
    static const struct {
        const char* text;
        int id;
    } items[] = { { "Move", IdMove }, { "Rect", IdRect }, { "XBig", IdXBig }, { "YBig", IdYBig },
        { "ShowNumber", IdShowNumber }, { "All", IdAll }, { "FFT", IdFft }, { nullptr, 0 },
        { "Graph Setting", IdSetting }, { "Export To Excel", IdExport }, { "Print Graph", IdPrintGraph },
        { "Print Data", IdPrintData } };
    for (const auto& item : items) {
        if (!item.text) {
            menu->addSeparator();
            continue;
        }
        QAction* a = menu->addAction(QString::fromLatin1(item.text));
        a->setObjectName(QStringLiteral("cmd%1").arg(item.id));
        const int id = item.id;
        QObject::connect(a, &QAction::triggered, menu, [id] {
            if (CMyOrvelView* view = Active())
                view->OnCommand(id);
        });
    }
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        for (QAction* a : menu->actions())
            a->setEnabled(Active() != nullptr);
    });
}

void CMyOrvelView::OnCommand(int id)
{
    switch (id) {
    case IdMove: m_pGraph->SetTool(CGraphModel::Move); break;
    case IdRect: m_pGraph->SetTool(CGraphModel::Rect); break;
    case IdXBig: m_pGraph->SetTool(CGraphModel::XBig); break;
    case IdYBig: m_pGraph->SetTool(CGraphModel::YBig); break;
    case IdBig: m_pGraph->SetTool(CGraphModel::Big); break;
    case IdSmall: m_pGraph->SetTool(CGraphModel::Small); break;
    case IdShowNumber: m_pGraph->SetTool(CGraphModel::ShowNumber); break;
    case IdFft: m_pGraph->SetTool(CGraphModel::Fft); break;
    case IdAll: m_pGraph->ResetZoom(); break;
    case IdSetting: OnSetting(); break;
    case IdExport:
    case IdPrintGraph:
    case IdPrintData:
        // Half a file would make half an export or printout.
        if (m_pDoc && m_pDoc->IsLoading()) {
            msgbox::Show(this, QStringLiteral("\"%1\" is still being read; it can be exported and printed once it is open.")
                                   .arg(QDir::toNativeSeparators(m_pDoc->GetPathName())),
                QString(), msgbox::Warning);
            break;
        }
        if (id == IdExport)
            OnExport();
        else if (id == IdPrintGraph)
            OnPrintGraph();
        else
            OnPrintData();
        break;
    default: break;
    }
}

void CMyOrvelView::OnSetting()
{
    CColorSetting dlg(this);
    dlg.FillFrom(*m_pGraph, m_bAutoScale, m_dManualMax, m_dManualMin);
    if (dlg.exec() != QDialog::Accepted)
        return;
    dlg.ApplyTo(*m_pGraph);
    m_bAutoScale = dlg.m_bAutoScale;
    if (m_bAutoScale) {
        if (m_pDoc) {
            const datalog_text::YRange r = datalog_text::FitYRange(m_pDoc->m_dMax, m_pDoc->m_dMin,
                m_pDoc->m_arrSeries[0].IsEmpty() ? 0.0f : m_pDoc->m_arrSeries[0].Range(0), true);
            m_pGraph->SetYRange(r.max, r.min);
        }
    } else {
        m_dManualMax = dlg.m_dMax;
        m_dManualMin = dlg.m_dMin;
        m_pGraph->SetYRange(m_dManualMax, m_dManualMin);
    }
    m_pGraph->Invalidate();
    OnScrollUpdate();
    // Kept for the next views, recordings and starts.
    GraphPreferences prefs;
    prefs.colors = m_pGraph->m_colors;
    prefs.maskPoints = m_pGraph->m_bMaskPoints;
    prefs.autoScale = m_bAutoScale;
    prefs.manualMax = m_dManualMax;
    prefs.manualMin = m_dManualMin;
    if (!prefs.Save())
        msgbox::Show(this, QStringLiteral("The graph settings could not be kept for the next start."),
            QStringLiteral("Tip"), msgbox::Warning);
}

void CMyOrvelView::OnExport()
{
    if (!HasPoints() || m_pExport)
        return;
    CPortSettings settings;
    const QString path = chooseExportFile(
        this, settings.InLastFolder(datalog_text::DefaultExportName(QDateTime::currentDateTime())));
    if (path.isEmpty())
        return;
    auto* job = new CExportJob(path, *m_pDoc, m_pDoc.data(), datalog_export::FormatOf(path), this);
    settings.WriteLastFolder(path);
    QString message;
    if (!job->Start(&message)) {
        delete job;
        msgbox::Show(this, message, QStringLiteral("Tip"), msgbox::Warning);
        return;
    }
    m_pExport = job;
    QProgressDialog* bar = progressDialog(this, QStringLiteral("Exporting %1 ...").arg(QFileInfo(path).fileName()));
    connect(bar, &QProgressDialog::canceled, job, &CExportJob::Cancel);
    connect(job, &CExportJob::progress, bar, [bar](qsizetype done, qsizetype total) {
        bar->setValue(total > 0 ? int(done * 1000 / total) : 1000);
    });
    connect(job, &CExportJob::finished, this, [this, job, bar](bool ok, const QString& why) {
        bar->deleteLater();
        job->deleteLater();
        m_pExport = nullptr;
        if (!ok && !why.isEmpty())
            msgbox::Show(this, why, QStringLiteral("Tip"), msgbox::Warning);
    });
}

void CMyOrvelView::OnCopyGraph()
{
    if (!HasPoints())
        return;
    QClipboard* clip = QApplication::clipboard();
    if (!clip)
        return;
    clip->setImage(m_pGraph->CopyImage());
    msgbox::Show(this, QStringLiteral("Graph is already copied to clipboard!"), QStringLiteral("Tip"));
}

void CMyOrvelView::OnPrintGraph()
{
    if (!HasPoints())
        return;
    CPrintRX printer;
    if (!printer.ShowPrintDialog(this))
        return;
    printer.PrintGraph(*m_pGraph, *m_pDoc, QDateTime::currentDateTime());
}

void CMyOrvelView::OnPrintData()
{
    if (!HasPoints() || m_pPrint)
        return;
    auto printer = std::make_unique<CPrintRX>();
    if (!printer->ShowPrintDialog(this))
        return;
    auto* job = new CDataPrintJob(printer.get(), *m_pDoc, m_pDoc.data(), QDateTime::currentDateTime(), this);
    if (!job->Start()) {
        delete job;
        return;
    }
    m_pPrint = job;
    QProgressDialog* bar = progressDialog(this, QStringLiteral("Printing the data table ..."));
    connect(bar, &QProgressDialog::canceled, job, &CDataPrintJob::Cancel);
    connect(job, &CDataPrintJob::progress, bar, [bar](qsizetype done, qsizetype total) {
        bar->setValue(total > 0 ? int(done * 1000 / total) : 1000);
    });
    job->AdoptPrinter(std::move(printer));
    connect(job, &CDataPrintJob::finished, this, [this, job, bar] {
        bar->deleteLater();
        job->deleteLater();
        m_pPrint = nullptr;
    });
}
