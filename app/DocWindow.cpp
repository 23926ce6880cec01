#include "app/DocWindow.h"

#include "app/DocManager.h"
#include "datalog/MyOrvelDoc.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

CDocWindow::CDocWindow(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_pDoc(doc)
    , m_pManager(manager)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_pTabs = new QTabWidget(this);
    m_pText = new QPlainTextEdit(m_pTabs);
    m_pText->setReadOnly(true);
    m_pText->setObjectName(QStringLiteral("summary"));
    m_pList = new QTreeWidget(m_pTabs);
    m_pList->setObjectName(QStringLiteral("dataList"));
    m_pList->setRootIsDecorated(false);
    m_pList->setUniformRowHeights(true);
    m_pList->setHeaderLabels({ QStringLiteral("ID"), QStringLiteral("Data Time"), QStringLiteral("Unit"),
        QStringLiteral("Value"), QStringLiteral("Type"), QStringLiteral("Remark") });
    const int widths[] = { 70, 150, 80, 80, 80, 60 };
    for (int i = 0; i < 6; ++i)
        m_pList->header()->resizeSection(i, widths[i]);
    m_pTabs->addTab(m_pText, QStringLiteral("Summary"));
    m_pTabs->addTab(m_pList, QStringLiteral("Data List"));
    setWidget(m_pTabs);
    // A loaded document is never recorded into.
    m_bLiveView = doc->m_bLive;
    connect(doc, &CMyOrvelDoc::contentsLoaded, this, [this] { m_bLiveView = false; });
    // Every live point refreshes the summary.
    connect(doc, &CMyOrvelDoc::summaryRefreshRequested, this, &CDocWindow::Refresh);
    connect(doc, &CMyOrvelDoc::titleChanged, this, &CDocWindow::Refresh);
    connect(doc, &CMyOrvelDoc::contentsLoaded, this, &CDocWindow::Refresh);
    connect(doc, &CMyOrvelDoc::modifiedChanged, this, &CDocWindow::Refresh);
    Refresh();
}

QString CDocWindow::SummaryText(const CMyOrvelDoc& doc)
{
    const CDataSeries& readings = doc.m_arrSeries[0];
    QString text;
    text += QStringLiteral("Type:\t%1\n").arg(doc.m_strType);
    text += QStringLiteral("Readings:\t%1\n").arg(readings.Size());
    text += QStringLiteral("Statistics:\t%1\n").arg(doc.m_arrSeries[1].Size());
    text += QStringLiteral("Start:\t%1\n").arg(doc.m_strStartTime);
    text += QStringLiteral("End:\t%1\n").arg(doc.m_strEndTime);
    if (doc.m_nDataNumber > 0 && doc.m_dMax >= doc.m_dMin) {
        text += QString::asprintf("Max:\t%.4f", doc.m_dMax) + QStringLiteral("  (%1)\n").arg(doc.m_strMaxTime);
        text += QString::asprintf("Min:\t%.4f", doc.m_dMin) + QStringLiteral("  (%1)\n").arg(doc.m_strMinTime);
        text += QString::asprintf("Average:\t%.4f\n", doc.m_dAverage);
    }
    text += QString::asprintf("Sample rate:\t%g s\n", doc.m_dSampleRate);
    return text;
}

CMyOrvelDoc* CDocWindow::document() const
{
    return m_pDoc.data();
}

void CDocWindow::Refresh()
{
    if (!m_pDoc)
        return;
    setWindowTitle(m_pDoc->GetTitle() + (m_pDoc->IsModified() ? QStringLiteral(" *") : QString()));
    m_pText->setPlainText(SummaryText(*m_pDoc));
}

int CDocWindow::ListRowCount() const
{
    return m_pList->topLevelItemCount();
}

void CDocWindow::AddListRow(const RecordingListRow& row, bool scrollIntoView)
{
    auto* item = new QTreeWidgetItem({ row.number, row.time, row.unit, row.value, row.label, QString() });
    m_pList->addTopLevelItem(item);
    if (scrollIntoView)
        m_pList->scrollToItem(item);
}

void CDocWindow::CloseForDocument()
{
    if (m_bLiveView)
        emit liveViewClosing();
    m_bDocumentClosing = true;
    close();
}

void CDocWindow::closeEvent(QCloseEvent* event)
{
    // A recording into this window ends before the "save changes?" question.
    if (m_bLiveView && !m_bDocumentClosing)
        emit liveViewClosing();
    // Closing the window closes its document, after the "save changes?" question.
    if (!m_bDocumentClosing && m_pDoc && m_pManager->Documents().contains(m_pDoc)) {
        m_bDocumentClosing = true;
        if (!m_pManager->CloseDocument(m_pDoc, true)) {
            m_bDocumentClosing = false;
            event->ignore();
            return;
        }
    }
    QMdiSubWindow::closeEvent(event);
}
