#include "app/DocWindow.h"

#include "app/DocManager.h"
#include "datalog/MyOrvelDoc.h"

#include <QCloseEvent>
#include <QPlainTextEdit>

CDocWindow::CDocWindow(CMyOrvelDoc* doc, CDocManager* manager, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_pDoc(doc)
    , m_pManager(manager)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_pText = new QPlainTextEdit(this);
    m_pText->setReadOnly(true);
    m_pText->setObjectName(QStringLiteral("summary"));
    setWidget(m_pText);
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

CMyOrvelDoc* CDocWindow::document() const { return m_pDoc.data(); }

void CDocWindow::Refresh()
{
    if (!m_pDoc)
        return;
    setWindowTitle(m_pDoc->GetTitle() + (m_pDoc->IsModified() ? QStringLiteral(" *") : QString()));
    m_pText->setPlainText(SummaryText(*m_pDoc));
}

void CDocWindow::CloseForDocument()
{
    m_bDocumentClosing = true;
    close();
}

void CDocWindow::closeEvent(QCloseEvent* event)
{
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
