#include "scope/OscUi.h"

#include "platform/MessageBox.h"
#include "scope/OscController.h"
#include "scope/OscDlg.h"
#include "scope/OscFile.h"
#include "scope/OscList.h"
#include "scope/OscProgressDlg.h"
#include "scope/OscUiFiles.h"

#include <QDateTime>

COscUi::COscUi(COscController* controller, QWidget* frame, Callbacks callbacks)
    : QObject(frame)
    , m_pController(controller)
    , m_pFrame(frame)
    , m_callbacks(std::move(callbacks))
    , m_pList(new COSCList())
{
    m_pList->hide();
    m_timer10.setInterval(kTimer10Ms);
    connect(&m_timer10, &QTimer::timeout, this, &COscUi::OnTimer10);
    // A store button is posted, so the press has finished before the window appears.
    connect(m_pList.data(), &COSCList::storeButtonPressed, controller, &COscController::OnStoreButton, Qt::QueuedConnection);
    connect(controller, &COscController::storeLookChanged, m_pList.data(),
        [this](int, const osc::OscStoreLook& look) { m_pList->SetLook(look); });
    connect(controller, &COscController::storePaneRequested, this, &COscUi::ShowStorePane);
    connect(controller, &COscController::recordToShow, this, &COscUi::ShowRecord);
    // Messages may come from the frame path: shown from the event loop, never inside it.
    connect(controller, &COscController::messageDue, this,
        [this](const QString& text) { msgbox::Show(m_pFrame, text); }, Qt::QueuedConnection);
    FollowOscProgress(controller, frame);
}

COscUi::~COscUi()
{
    delete m_pOSCDlg.data();
    // The pane usually belongs to the panel by now; otherwise it is ours.
    if (m_pList && !m_pList->parent())
        delete m_pList.data();
}

void COscUi::ShowRecord(const OSCData& record, const QString& title)
{
    if (!m_pOSCDlg) {
        m_pOSCDlg = new COSCDlg(m_pFrame);
        m_pOSCDlg->setWindowFlag(Qt::Window, true);
        connect(m_pOSCDlg, &COSCDlg::closed, this, &COscUi::OnOscWindowClosed, Qt::QueuedConnection);
    }
    // A window shown again before its deletion came due stays.
    m_timer10.stop();
    m_pOSCDlg->ShowRecord(record, title);
    // Placed when it appears; a window the user has moved or sized stays where it is.
    if (m_callbacks.windowPlace && !m_pOSCDlg->isVisible()) {
        const QRect r = m_callbacks.windowPlace();
        if (r.isValid())
            m_pOSCDlg->setGeometry(r);
    }
    m_pOSCDlg->show();
    m_pOSCDlg->raise();
}

void COscUi::ShowStorePane()
{
    if (m_callbacks.showStorePane)
        m_callbacks.showStorePane();
    if (m_pList) {
        m_pList->show();
        m_pList->raise();
    }
}

void COscUi::OnSaveOscData()
{
    if (!m_pController->CanSaveOscData()) {
        msgbox::Show(m_pFrame, QString::fromLatin1(osc::kNoDataToSave));
        return;
    }
    const QString path = osc_files::Ask(m_pFrame, osc_files::Save, QStringLiteral("Save OSC Data"),
        osc::ProposedFileName(QDateTime::currentDateTime()), QString::fromLatin1(osc::kFileFilter));
    if (path.isEmpty())
        return;
    QString message;
    if (!m_pController->OnSaveOscData(path, &message))
        msgbox::Show(m_pFrame, message, QString(), msgbox::Warning);
}

void COscUi::OnOpenOsc()
{
    const QString path = osc_files::Ask(
        m_pFrame, osc_files::Open, QStringLiteral("Open OSC"), QString(), QString::fromLatin1(osc::kFileFilter));
    if (!path.isEmpty())
        OpenOscFile(path);
}

void COscUi::OpenOscFile(const QString& path)
{
    QString message;
    if (!m_pController->OnOpenOsc(path, &message))
        msgbox::Show(m_pFrame, message, QString(), msgbox::Warning);
}

void COscUi::OnOscWindowClosed()
{
    m_timer10.start();
}

void COscUi::OnTimer10()
{
    m_timer10.stop();
    if (m_pOSCDlg && !m_pOSCDlg->isVisible())
        delete m_pOSCDlg.data();
}
