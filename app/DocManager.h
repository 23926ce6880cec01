#pragma once
// The document manager of the data-log documents: the File commands New, Open..., Close, Save and
// Save As..., the "save changes?" question, and the four-entry recent-file list kept in the
// program's store (OpenProgramStore; group "Recent File List", keys File1..File4).
//
// It owns the open documents. The main window shows them: it listens to documentOpened and
// documentClosed, tells the manager which document is active, and puts the manager's actions
// into its File menu. File dialogs and message boxes can be replaced, so that tests answer them.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>

class CMyOrvelDoc;
class QAction;
class QMenu;
class QSettings;
class QWidget;

class CDocManager : public QObject {
    Q_OBJECT
public:
    // The document template: "True RMS Multimeter & Oscillometer\nNew File\nSave\nData
    // Files(*.mLog)\n.mLog\nMultimeter.Document\nMultimeter".
    enum class DocString {
        WindowTitle, // "True RMS Multimeter & Oscillometer"
        DocName, // "New File": new documents are titled "New File1", "New File2", ...
        FileNewName, // "Save"
        FilterName, // "Data Files(*.mLog)"
        FilterExt, // ".mLog"
        RegFileTypeId, // "Multimeter.Document"
        RegFileTypeName, // "Multimeter"
    };
    static QString TemplateString();
    static QString GetDocString(DocString which);

    static constexpr int kMaxRecentFiles = 4;

    // The program's store for the recent files and the window's size and place: on Linux
    // "multimeter/Multimeter.conf" in the user's config folder (a store an earlier version left
    // in "Local AppWizard-Generated Applications/" is moved there once); elsewhere the platform's
    // native store of organisation "Local AppWizard-Generated Applications", application
    // "Multimeter".
    static std::unique_ptr<QSettings> OpenProgramStore();
    // The store this manager uses (the one given to the constructor, else the program's).
    std::unique_ptr<QSettings> OpenSettings() const;

    enum class FileDialogKind { Open, SaveAs };
    // Asks for a file; returns the chosen path, or an empty string when cancelled.
    using FileChooser = std::function<QString(
        FileDialogKind kind, QWidget* parent, const QString& caption, const QString& proposed, const QString& filter)>;
    using SettingsFactory = std::function<std::unique_ptr<QSettings>()>;

    // `settings` makes the store of the recent-file list (tests pass a file of their own); by
    // default the native store named above.
    explicit CDocManager(QWidget* dialogParent = nullptr, SettingsFactory settings = {}, QObject* parent = nullptr);
    ~CDocManager() override;

    void SetDialogParent(QWidget* parent) { m_dialogParent = parent; }
    // Replaces the file dialogs; an empty chooser restores them.
    void SetFileChooser(FileChooser chooser);

    // --- commands (57600 New, 57601 Open, and the rest of the File menu) ---
    CMyOrvelDoc* OnFileNew();
    CMyOrvelDoc* OnFileOpen();
    bool OnFileSave();
    bool OnFileSaveAs();
    bool OnFileClose();

    // Opens `path`, or activates the document that already shows it. A file that cannot be read
    // is reported in a message box and changes nothing else. Returns the document or null.
    CMyOrvelDoc* OpenDocumentFile(const QString& path);
    // Files of at least this size are read in the background (OpenDocumentFile returns their
    // document while it is still being read); smaller ones take a few frames and are read at once.
    static constexpr qint64 kBackgroundReadBytes = qint64(16) << 20;
    void SetBackgroundReadBytes(qint64 bytes) { m_nBackgroundBytes = bytes; }
    // Saves `doc` to its file, or asks for one when it has none or `askForName` is set.
    bool DoSave(CMyOrvelDoc* doc, bool askForName = false);
    // Asks "Save changes to ...?" for a modified document; false when the user cancels or the
    // save fails, so the document must stay open.
    bool SaveModified(CMyOrvelDoc* doc);
    // Closes `doc`, asking first when `ask` is set; false when it stays open.
    bool CloseDocument(CMyOrvelDoc* doc, bool ask = true);
    // Closes every document (program exit); false when the user kept one open.
    bool CloseAllDocuments(bool ask = true);

    const QList<CMyOrvelDoc*>& Documents() const { return m_docs; }
    CMyOrvelDoc* ActiveDocument() const { return m_active; }
    void SetActiveDocument(CMyOrvelDoc* doc);

    // --- recent files ---
    QStringList RecentFiles() const { return m_recent; }
    void AddToRecentFileList(const QString& path);
    void RemoveFromRecentFileList(const QString& path);
    // Opens entry `index` (0-based); an entry that cannot be opened leaves the list.
    CMyOrvelDoc* OpenRecentFile(int index);

    // --- menu ---
    QAction* NewAction() const { return m_actNew; }
    QAction* OpenAction() const { return m_actOpen; }
    QAction* CloseAction() const { return m_actClose; }
    QAction* SaveAction() const { return m_actSave; }
    QAction* SaveAsAction() const { return m_actSaveAs; }
    // The entries for the recent files ("&1 path" ...), kept up to date; a disabled "Recent
    // File" stands in while the list is empty.
    QList<QAction*> RecentFileActions() const;
    // Adds New, Open..., Close, Save, Save As..., a separator, the recent files and a separator
    // to `menu` (before `before`, or at the end). The main window adds the rest (Exit, ...).
    void AddFileMenuItems(QMenu* menu, QAction* before = nullptr);

signals:
    // A new or loaded document: the main window makes a view for it.
    void documentOpened(CMyOrvelDoc* doc);
    // Open of a file that was open already: bring its view forward.
    void documentActivated(CMyOrvelDoc* doc);
    // The document is closing; it is deleted when control returns to the event loop.
    void documentClosed(CMyOrvelDoc* doc);
    void activeDocumentChanged(CMyOrvelDoc* doc);
    void recentFilesChanged(const QStringList& files);

private:
    QString ChooseFile(FileDialogKind kind, const QString& caption, const QString& proposed);
    void Adopt(CMyOrvelDoc* doc);
    void LoadRecentList();
    void SaveRecentList();
    void UpdateActions();

    QPointer<QWidget> m_dialogParent;
    SettingsFactory m_settings;
    FileChooser m_chooser;
    QList<CMyOrvelDoc*> m_docs;
    CMyOrvelDoc* m_active = nullptr;
    int m_nUntitledCount = 0;
    qint64 m_nBackgroundBytes = kBackgroundReadBytes;
    QStringList m_recent;

    QAction* m_actNew;
    QAction* m_actOpen;
    QAction* m_actClose;
    QAction* m_actSave;
    QAction* m_actSaveAs;
    QAction* m_actRecentNone;
    QList<QAction*> m_actRecent;
};
