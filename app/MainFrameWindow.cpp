// The main window as a user first meets it: its size and place (remembered between runs) and
// the hint in the document area while no document is open.
#include "app/DocManager.h"
#include "app/MainFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QScreen>
#include <QSettings>
#include <QStyle>

namespace {
const char kGeometryKey[] = "Window/Geometry";
} // namespace

QSize MainWindowStartSize(const QSize& available)
{
    // Room for the whole meter beside a graph, on a screen that has it; never larger than the screen.
    const QSize want(1280, 860);
    return want.boundedTo(available * 9 / 10).expandedTo(QSize(640, 480)).boundedTo(available);
}

void CMainFrame::RestoreWindowPlace()
{
    const auto store = m_pDocManager->OpenSettings();
    if (store && restoreGeometry(store->value(QLatin1String(kGeometryKey)).toByteArray()))
        return;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect avail = screen->availableGeometry();
    const QSize size = MainWindowStartSize(avail.size());
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, avail));
    setWindowState(windowState() | Qt::WindowMaximized);
}

void CMainFrame::SaveWindowPlace()
{
    if (const auto store = m_pDocManager->OpenSettings())
        store->setValue(QLatin1String(kGeometryKey), saveGeometry());
}

void CMainFrame::CreateEmptyHint()
{
    m_pEmptyHint = new QLabel(m_pMdiArea->viewport());
    m_pEmptyHint->setObjectName(QStringLiteral("emptyHint"));
    m_pEmptyHint->setAlignment(Qt::AlignCenter);
    m_pEmptyHint->setWordWrap(true);
    m_pEmptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pEmptyHint->setText(QStringLiteral(
        "<p style='font-size:large'>No data file is open.</p>"
        "<p><b>Record</b> the meter's readings: connect it with <i>Com Port &gt; ConnectBle</i>, "
        "then choose <i>Real Time &gt; Start</i>.</p>"
        "<p><b>Open</b> a saved data file (.mLog) with <i>File &gt; Open...</i></p>"
        "<p><b>Download</b> the runs stored in the meter with "
        "<i>Real Time &gt; Download Multimeter Logger</i>.</p>"));
    QPalette pal = m_pEmptyHint->palette();
    pal.setColor(QPalette::WindowText, QColor(235, 235, 235));
    m_pEmptyHint->setPalette(pal);
    m_pMdiArea->viewport()->installEventFilter(this);
    m_pEmptyHint->setGeometry(m_pMdiArea->viewport()->rect().adjusted(24, 24, -24, -24));
    UpdateEmptyHint();
}

void CMainFrame::UpdateEmptyHint()
{
    if (m_pEmptyHint)
        m_pEmptyHint->setVisible(m_pDocManager->Documents().isEmpty());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Close && OnMeterDockClosing(watched))
        return false;
    if (m_pEmptyHint && watched == m_pMdiArea->viewport() && event->type() == QEvent::Resize)
        m_pEmptyHint->setGeometry(m_pMdiArea->viewport()->rect().adjusted(24, 24, -24, -24));
    return QMainWindow::eventFilter(watched, event);
}
