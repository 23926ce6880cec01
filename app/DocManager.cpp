#include "app/DocManager.h"

#include "datalog/GraphDlg.h"
#include "datalog/MyOrvelDoc.h"
#include "display/ShowData.h"
#include "platform/MessageBox.h"
#include "link/PortSettings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

namespace {

const char kRecentGroup[] = "Recent File List";

QString samePathKey(const QString& path)
{
    const QFileInfo fi(path);
    const QString canonical = fi.canonicalFilePath();
    QString key = canonical.isEmpty() ? fi.absoluteFilePath() : canonical;
#if defined(Q_OS_WIN)
    key = key.toLower();
#endif
    return key;
}

QString defaultChooser(CDocManager::FileDialogKind kind, QWidget* parent, const QString& caption,
    const QString& proposed, const QString& filter)
{
    QFileDialog dlg(parent, caption, proposed, filter);
    const bool open = kind == CDocManager::FileDialogKind::Open;
    dlg.setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setDefaultSuffix(CDocManager::GetDocString(CDocManager::DocString::FilterExt).mid(1));
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.selectedFiles().value(0);
}

} // namespace

QString CDocManager::TemplateString()
{
    return QStringLiteral("True RMS Multimeter & Oscillometer\nNew File\nSave\nData Files(*.mLog)\n.mLog\n"
                          "Multimeter.Document\nMultimeter");
}

QString CDocManager::GetDocString(DocString which)
{
    return TemplateString().split(QLatin1Char('\n')).value(static_cast<int>(which));
}

CDocManager::CDocManager(QWidget* dialogParent, SettingsFactory settings, QObject* parent)
    : QObject(parent)
    , m_dialogParent(dialogParent)
    , m_settings(std::move(settings))
{
    // The graphs of the documents show a picked point in the live display's box.
    CGraphDlg::SetPointBoxMaker([](QWidget* graph) { return new CShowData(graph); });
    m_actNew = new QAction(tr("&New"), this);
    m_actNew->setShortcut(QKeySequence::New);
    m_actOpen = new QAction(tr("&Open..."), this);
    m_actOpen->setShortcut(QKeySequence::Open);
    m_actClose = new QAction(tr("&Close"), this);
    m_actSave = new QAction(tr("&Save"), this);
    m_actSave->setShortcut(QKeySequence::Save);
    m_actSaveAs = new QAction(tr("Save &As..."), this);
    connect(m_actNew, &QAction::triggered, this, [this] { OnFileNew(); });
    connect(m_actOpen, &QAction::triggered, this, [this] { OnFileOpen(); });
    connect(m_actClose, &QAction::triggered, this, [this] { OnFileClose(); });
    connect(m_actSave, &QAction::triggered, this, [this] { OnFileSave(); });
    connect(m_actSaveAs, &QAction::triggered, this, [this] { OnFileSaveAs(); });

    m_actRecentNone = new QAction(tr("Recent File"), this);
    m_actRecentNone->setEnabled(false);
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        auto* a = new QAction(this);
        connect(a, &QAction::triggered, this, [this, i] { OpenRecentFile(i); });
        m_actRecent << a;
    }
    LoadRecentList();
    UpdateActions();
}

CDocManager::~CDocManager()
{
    // Documents still open at this point are released without questions.
    for (CMyOrvelDoc* doc : std::as_const(m_docs))
        delete doc;
}

void CDocManager::SetFileChooser(FileChooser chooser)
{
    m_chooser = std::move(chooser);
}

QString CDocManager::ChooseFile(FileDialogKind kind, const QString& caption, const QString& proposed)
{
    const QString filter = GetDocString(DocString::FilterName) + QStringLiteral(";;All Files (*)");
    // The dialog starts in the folder the user last chose a file in.
    CPortSettings settings;
    const QString start = settings.InLastFolder(proposed);
    QString path = m_chooser ? m_chooser(kind, m_dialogParent, caption, start, filter)
                             : defaultChooser(kind, m_dialogParent, caption, start, filter);
    if (!path.isEmpty())
        settings.WriteLastFolder(path);
    // A name typed without extension gets the document's own.
    if (kind == FileDialogKind::SaveAs && !path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += GetDocString(DocString::FilterExt);
    return path;
}

void CDocManager::Adopt(CMyOrvelDoc* doc)
{
    doc->setParent(this);
    m_docs << doc;
    emit documentOpened(doc);
    SetActiveDocument(doc);
}

CMyOrvelDoc* CDocManager::OnFileNew()
{
    auto* doc = new CMyOrvelDoc;
    doc->SetTitle(GetDocString(DocString::DocName) + QString::number(++m_nUntitledCount));
    Adopt(doc);
    return doc;
}

CMyOrvelDoc* CDocManager::OnFileOpen()
{
    const QString path = ChooseFile(FileDialogKind::Open, tr("Open"), QString());
    if (path.isEmpty())
        return nullptr;
    return OpenDocumentFile(path);
}

CMyOrvelDoc* CDocManager::OpenDocumentFile(const QString& path)
{
    const QString key = samePathKey(path);
    for (CMyOrvelDoc* doc : std::as_const(m_docs)) {
        if (!doc->GetPathName().isEmpty() && samePathKey(doc->GetPathName()) == key) {
            SetActiveDocument(doc);
            emit documentActivated(doc);
            return doc;
        }
    }
    // A large file is read in the background into a window of its own that shows its points as
    // they come; a fault found on the way closes that window again and says why.
    if (QFileInfo(path).size() >= m_nBackgroundBytes) {
        auto* doc = new CMyOrvelDoc;
        connect(doc, &CMyOrvelDoc::contentsLoaded, this, [this, path] { AddToRecentFileList(path); },
            Qt::SingleShotConnection);
        connect(doc, &CMyOrvelDoc::loadFailed, this, [this, doc](const QString& message) {
            CloseDocument(doc, false);
            // Shown from a turn of its own, not from within the reading's end.
            QTimer::singleShot(0, this, [this, message] {
                msgbox::Show(m_dialogParent, message, QString(), msgbox::Warning);
            });
        });
        doc->BeginOpenDocument(path);
        Adopt(doc);
        return doc;
    }
    // Loaded into a document of its own, so a bad file leaves everything open as it was.
    auto doc = std::make_unique<CMyOrvelDoc>();
    QString message;
    if (!doc->OnOpenDocument(path, &message)) {
        msgbox::Show(m_dialogParent, message, QString(), msgbox::Warning);
        return nullptr;
    }
    AddToRecentFileList(path);
    CMyOrvelDoc* opened = doc.release();
    Adopt(opened);
    return opened;
}

bool CDocManager::DoSave(CMyOrvelDoc* doc, bool askForName)
{
    if (!doc)
        return false;
    if (doc->IsLoading()) {
        // Saving half a file could replace the whole one with it.
        msgbox::Show(m_dialogParent,
            tr("\"%1\" is still being read; it can be saved once it is open.").arg(QDir::toNativeSeparators(doc->GetPathName())), QString(),
            msgbox::Warning);
        return false;
    }
    QString path = doc->GetPathName();
    if (path.isEmpty() || askForName) {
        QString proposed = path;
        if (proposed.isEmpty()) {
            proposed = doc->GetTitle();
            // Characters that cannot be in a file name end the proposal.
            const int bad = proposed.indexOf(QRegularExpression(QStringLiteral("[:/\\\\*?\"<>|]")));
            if (bad >= 0)
                proposed.truncate(bad);
            if (QFileInfo(proposed).suffix().isEmpty())
                proposed += GetDocString(DocString::FilterExt);
        }
        path = ChooseFile(FileDialogKind::SaveAs, tr("Save As"), proposed);
        if (path.isEmpty())
            return false;
    }
    QString message;
    if (!doc->OnSaveDocument(path, &message)) {
        msgbox::Show(m_dialogParent, message, QString(), msgbox::Warning);
        return false;
    }
    AddToRecentFileList(path);
    return true;
}

bool CDocManager::OnFileSave()
{
    return DoSave(m_active, false);
}

bool CDocManager::OnFileSaveAs()
{
    return DoSave(m_active, true);
}

bool CDocManager::OnFileClose()
{
    return m_active && CloseDocument(m_active, true);
}

bool CDocManager::SaveModified(CMyOrvelDoc* doc)
{
    if (!doc || !doc->IsModified())
        return true;
    const QString name = doc->GetPathName().isEmpty() ? doc->GetTitle() : QDir::toNativeSeparators(doc->GetPathName());
    const msgbox::Button answer = msgbox::Show(m_dialogParent, tr("Save changes to %1?").arg(name), QString(),
        msgbox::Question, msgbox::Yes | msgbox::No | msgbox::Cancel);
    switch (answer) {
    case msgbox::Yes:
        return DoSave(doc, false);
    case msgbox::No:
        return true;
    default:
        return false;
    }
}

bool CDocManager::CloseDocument(CMyOrvelDoc* doc, bool ask)
{
    if (!doc || !m_docs.contains(doc))
        return false;
    if (ask && !SaveModified(doc))
        return false;
    emit documentClosed(doc);
    m_docs.removeOne(doc);
    if (m_active == doc)
        SetActiveDocument(m_docs.isEmpty() ? nullptr : m_docs.last());
    doc->DeleteContents();
    doc->deleteLater();
    UpdateActions();
    return true;
}

bool CDocManager::CloseAllDocuments(bool ask)
{
    // Ask about every document before closing any, as the program's exit does.
    if (ask) {
        for (CMyOrvelDoc* doc : std::as_const(m_docs)) {
            if (!SaveModified(doc))
                return false;
        }
    }
    while (!m_docs.isEmpty())
        CloseDocument(m_docs.last(), false);
    return true;
}

void CDocManager::SetActiveDocument(CMyOrvelDoc* doc)
{
    if (doc && !m_docs.contains(doc))
        return;
    if (doc != m_active) {
        m_active = doc;
        emit activeDocumentChanged(doc);
    }
    UpdateActions();
}

// --- recent files --------------------------------------------------------------------------------

std::unique_ptr<QSettings> CDocManager::OpenSettings() const
{
    if (m_settings)
        return m_settings();
    return OpenProgramStore();
}

std::unique_ptr<QSettings> CDocManager::OpenProgramStore()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A folder of the program's own rather than one named after the organisation. A store left
    // in the old place by an earlier version is moved over once, with its name and contents.
    const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QString file = QStringLiteral("Multimeter.conf");
    const QString path = config.filePath(QStringLiteral("multimeter/") + file);
    const QString oldFolder = config.filePath(QStringLiteral("Local AppWizard-Generated Applications"));
    const QString oldPath = QDir(oldFolder).filePath(file);
    if (!QFileInfo::exists(path) && QFileInfo::exists(oldPath)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (QFile::rename(oldPath, path) || (QFile::copy(oldPath, path) && QFile::remove(oldPath)))
            QDir().rmdir(oldFolder); // only when nothing else is left in it
    }
    return std::make_unique<QSettings>(path, QSettings::NativeFormat);
#else
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
        QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Multimeter"));
#endif
}

void CDocManager::LoadRecentList()
{
    m_recent.clear();
    auto settings = OpenSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(kRecentGroup));
    for (int i = 1; i <= kMaxRecentFiles; ++i) {
        const QString path = settings->value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_recent.contains(path))
            m_recent << path;
    }
}

void CDocManager::SaveRecentList()
{
    auto settings = OpenSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(kRecentGroup));
    for (int i = 0; i < kMaxRecentFiles; ++i) {
        const QString key = QStringLiteral("File%1").arg(i + 1);
        if (i < m_recent.size())
            settings->setValue(key, QDir::toNativeSeparators(m_recent[i]));
        else
            settings->remove(key);
    }
    settings->endGroup();
    settings->sync();
}

void CDocManager::AddToRecentFileList(const QString& path)
{
    const QString full = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    const QString key = samePathKey(full);
    for (int i = m_recent.size() - 1; i >= 0; --i) {
        if (samePathKey(m_recent[i]) == key)
            m_recent.removeAt(i);
    }
    m_recent.prepend(full);
    while (m_recent.size() > kMaxRecentFiles)
        m_recent.removeLast();
    SaveRecentList();
    UpdateActions();
    emit recentFilesChanged(m_recent);
}

void CDocManager::RemoveFromRecentFileList(const QString& path)
{
    const QString key = samePathKey(path);
    bool changed = false;
    for (int i = m_recent.size() - 1; i >= 0; --i) {
        if (samePathKey(m_recent[i]) == key) {
            m_recent.removeAt(i);
            changed = true;
        }
    }
    if (!changed)
        return;
    SaveRecentList();
    UpdateActions();
    emit recentFilesChanged(m_recent);
}

CMyOrvelDoc* CDocManager::OpenRecentFile(int index)
{
    if (index < 0 || index >= m_recent.size())
        return nullptr;
    const QString path = m_recent[index];
    CMyOrvelDoc* doc = OpenDocumentFile(path);
    if (!doc)
        RemoveFromRecentFileList(path);
    return doc;
}

QList<QAction*> CDocManager::RecentFileActions() const
{
    return QList<QAction*> { m_actRecentNone } + m_actRecent;
}

void CDocManager::AddFileMenuItems(QMenu* menu, QAction* before)
{
    menu->insertActions(before, { m_actNew, m_actOpen, m_actClose, m_actSave, m_actSaveAs });
    menu->insertSeparator(before);
    menu->insertActions(before, RecentFileActions());
    menu->insertSeparator(before);
}

void CDocManager::UpdateActions()
{
    const bool haveDoc = m_active != nullptr;
    m_actClose->setEnabled(haveDoc);
    m_actSave->setEnabled(haveDoc);
    m_actSaveAs->setEnabled(haveDoc);
    m_actRecentNone->setVisible(m_recent.isEmpty());
    for (int i = 0; i < m_actRecent.size(); ++i) {
        QAction* a = m_actRecent[i];
        a->setVisible(i < m_recent.size());
        if (i < m_recent.size()) {
            QString shown = m_recent[i];
            shown.replace(QLatin1Char('&'), QLatin1String("&&"));
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(shown));
            a->setData(m_recent[i]);
        }
    }
}
