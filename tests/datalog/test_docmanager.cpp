// The document manager: File commands, "save changes?", the recent-file list and its store, with
// the file dialogs and message boxes answered by the test.
#include "app/DocManager.h"
#include "datalog/MLogFile.h"
#include "datalog/MyOrvelDoc.h"
#include "platform/MessageBox.h"
#include "link/PortSettings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestDocManager : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_answers; // file dialog answers, in order
    QStringList m_proposals; // what the dialogs proposed
    QList<msgbox::Request> m_boxes; // message boxes shown
    QList<msgbox::Button> m_replies; // their answers, in order

    std::unique_ptr<CDocManager> make()
    {
        const QString ini = m_dir.filePath("registry.ini");
        auto m = std::make_unique<CDocManager>(
            nullptr, [ini] { return std::make_unique<QSettings>(ini, QSettings::IniFormat); });
        m->SetFileChooser([this](CDocManager::FileDialogKind, QWidget*, const QString&, const QString& proposed,
                              const QString& filter) {
            m_proposals << proposed;
            if (!filter.startsWith("Data Files(*.mLog)"))
                return QStringLiteral("wrong filter");
            return m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        });
        return m;
    }

    QString file(const QString& name, int points = 1)
    {
        CDataLog log;
        for (int i = 0; i < points; ++i)
            log.AddPoint(0, i, "V", 0, i, "t", "VDC", 6, 0);
        const QString path = m_dir.filePath(name);
        mlog::Save(path, log);
        return path;
    }

private slots:
    void initTestCase() { CPortSettings::OverrideDefaultFolder(m_dir.filePath("config")); }
    void cleanupTestCase() { CPortSettings::OverrideDefaultFolder(QString()); }
    void init()
    {
        QFile::remove(m_dir.filePath("registry.ini"));
        QFile::remove(CPortSettings().FilePath());
        m_answers.clear();
        m_proposals.clear();
        m_boxes.clear();
        m_replies.clear();
        msgbox::SetHandler([this](const msgbox::Request& r) {
            m_boxes << r;
            return m_replies.isEmpty() ? msgbox::Cancel : m_replies.takeFirst();
        });
    }
    void cleanup() { msgbox::SetHandler({}); }

    void templateStrings()
    {
        QCOMPARE(CDocManager::GetDocString(CDocManager::DocString::WindowTitle),
            QStringLiteral("True RMS Multimeter & Oscillometer"));
        QCOMPARE(CDocManager::GetDocString(CDocManager::DocString::FilterName), QStringLiteral("Data Files(*.mLog)"));
        QCOMPARE(CDocManager::GetDocString(CDocManager::DocString::FilterExt), QStringLiteral(".mLog"));
        QCOMPARE(CDocManager::GetDocString(CDocManager::DocString::RegFileTypeName), QStringLiteral("Multimeter"));
    }

    // A large file opens at once in a document that is still being read: it cannot be saved
    // meanwhile (the file on disk stays whole), joins the recent files once read; a damaged one
    // closes again with the message an ordinary open gives.
    void largeFileOpensInTheBackground()
    {
        auto m = make();
        m->SetBackgroundReadBytes(1);
        const QString path = file("big.mLog", 200000);
        const QByteArray before = [&] { QFile f(path); f.open(QIODevice::ReadOnly); return f.readAll(); }();
        CMyOrvelDoc* doc = m->OpenDocumentFile(path);
        QVERIFY(doc);
        QVERIFY(doc->IsLoading());
        QCOMPARE(m->Documents().size(), 1);
        QVERIFY(!m->DoSave(doc));
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes.first().text.contains("is still being read"));
        QSignalSpy loaded(doc, &CMyOrvelDoc::contentsLoaded);
        QVERIFY(loaded.wait(30000));
        QCOMPARE(doc->m_arrSeries[0].Size(), 200000);
        QCOMPARE(m->RecentFiles().value(0), path);
        // Opening it again finds the open document.
        QCOMPARE(m->OpenDocumentFile(path), doc);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);

        const QString cut = m_dir.filePath("cut.mLog");
        {
            QFile c(cut);
            QVERIFY(c.open(QIODevice::WriteOnly));
            c.write(before.left(before.size() / 2));
        }
        m_boxes.clear();
        QPointer<CMyOrvelDoc> bad = m->OpenDocumentFile(cut);
        QVERIFY(bad);
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.size(), 1, 30000);
        QCOMPARE(m->Documents().size(), 1);
        QTRY_VERIFY(!bad);
        CDataLog none;
        QString message;
        QVERIFY(!mlog::Load(cut, none, &message));
        QCOMPARE(m_boxes.first().text, message);
        QVERIFY(!m->RecentFiles().contains(cut));

        // Closed while it is read: nothing asked, the reading stops, nothing shown after.
        m->CloseAllDocuments(false);
        m_boxes.clear();
        QPointer<CMyOrvelDoc> closed = m->OpenDocumentFile(path);
        QVERIFY(closed && closed->IsLoading());
        QVERIFY(m->CloseDocument(closed, true));
        QTRY_VERIFY(!closed);
        QTest::qWait(50);
        QVERIFY(m_boxes.isEmpty());
        QVERIFY(m->Documents().isEmpty());
    }

    void newOpenAndBadFiles()
    {
        auto m = make();
        QSignalSpy opened(m.get(), &CDocManager::documentOpened);
        QVERIFY(!m->SaveAction()->isEnabled());
        CMyOrvelDoc* a = m->OnFileNew();
        CMyOrvelDoc* b = m->OnFileNew();
        QCOMPARE(a->GetTitle(), QStringLiteral("New File1"));
        QCOMPARE(b->GetTitle(), QStringLiteral("New File2"));
        QVERIFY(a->m_bLive && !a->IsModified());
        QCOMPARE(m->ActiveDocument(), b);
        QVERIFY(m->SaveAction()->isEnabled());

        const QString good = file("good.mLog", 3);
        m_answers << good;
        CMyOrvelDoc* c = m->OnFileOpen();
        QVERIFY(c);
        QCOMPARE(c->GetTitle(), QStringLiteral("good.mLog"));
        QCOMPARE(c->m_arrSeries[0].Size(), 3);
        QVERIFY(!c->m_bLive);
        QCOMPARE(opened.count(), 3);
        QCOMPARE(m->RecentFiles(), QStringList { QDir::toNativeSeparators(good) });

        // The same file again only brings its document forward.
        QSignalSpy activated(m.get(), &CDocManager::documentActivated);
        m->SetActiveDocument(a);
        QCOMPARE(m->OpenDocumentFile(good), c);
        QCOMPARE(activated.count(), 1);
        QCOMPARE(m->ActiveDocument(), c);

        // A damaged file: one message naming it, nothing else changes.
        const QString bad = m_dir.filePath("bad.mLog");
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::fromHex("0100ffff02000700434f6244617461"));
        f.close();
        m_answers << bad;
        QVERIFY(!m->OnFileOpen());
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(m_boxes[0].icon, msgbox::Warning);
        QVERIFY(m_boxes[0].text.contains("bad.mLog"));
        QVERIFY(m_boxes[0].text.contains("incompatible format"));
        QCOMPARE(m->Documents().size(), 3);
        QCOMPARE(m->ActiveDocument(), c);
        QCOMPARE(m->RecentFiles().size(), 1);

        // Cancelled dialog: nothing.
        QVERIFY(!m->OnFileOpen());
        QCOMPARE(m->Documents().size(), 3);
    }

    void saveAsAndSaveChanges()
    {
        auto m = make();
        CMyOrvelDoc* doc = m->OnFileNew();
        doc->AddPoint(0, 1.0, "V", 0, 0, "t", "VDC", 6.0f);
        QVERIFY(doc->IsModified());

        // Save with no file yet asks for a name, proposes the title, adds the extension.
        m_answers << m_dir.filePath("rec");
        QVERIFY(m->OnFileSave());
        QVERIFY(m_proposals.last().endsWith(QStringLiteral("/New File1.mLog")));
        const QString saved = m_dir.filePath("rec.mLog");
        QCOMPARE(doc->GetPathName(), saved);
        QCOMPARE(doc->GetTitle(), QStringLiteral("rec.mLog"));
        QVERIFY(!doc->IsModified());
        QFile f(saved);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray savedBytes = f.readAll();
        QCOMPARE(savedBytes, mlog::ToBytes(*doc));
        QCOMPARE(m->RecentFiles().first(), QDir::toNativeSeparators(saved));
        // The next file dialog starts in the folder just used, also after a restart.
        QVERIFY(!make()->OnFileOpen());
        QCOMPARE(m_proposals.last(), m_dir.path());

        // An unmodified document closes without a question.
        QSignalSpy closed(m.get(), &CDocManager::documentClosed);
        CMyOrvelDoc* other = m->OnFileNew();
        QVERIFY(m->CloseDocument(other));
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(closed.count(), 1);

        // Modified: Cancel keeps it, a failed save keeps it, No closes it.
        doc->AddPoint(0, 2.0, "V", 0, 1, "t", "VDC", 6.0f);
        m_replies << msgbox::Cancel;
        QVERIFY(!m->OnFileClose());
        QCOMPARE(m_boxes.last().text, QStringLiteral("Save changes to %1?").arg(QDir::toNativeSeparators(saved)));
        QCOMPARE(m_boxes.last().buttons, msgbox::Yes | msgbox::No | msgbox::Cancel);
        mlog::SetWriteFaultForTesting(10);
        m_replies << msgbox::Yes;
        QVERIFY(!m->CloseDocument(doc));
        mlog::SetWriteFaultForTesting(-1);
        QVERIFY(m_boxes.last().text.startsWith("Cannot save"));
        QVERIFY(m->Documents().contains(doc));
        QVERIFY(f.seek(0));
        QCOMPARE(f.readAll(), savedBytes);

        // Close all asks for each modified document before closing any.
        CMyOrvelDoc* third = m->OnFileNew();
        third->SetModifiedFlag(true);
        m_replies << msgbox::No << msgbox::Cancel;
        QVERIFY(!m->CloseAllDocuments());
        QCOMPARE(m->Documents().size(), 2);
        m_replies << msgbox::Yes << msgbox::No;
        QVERIFY(m->CloseAllDocuments());
        QVERIFY(m->Documents().isEmpty());
        QVERIFY(!m->ActiveDocument());
        QVERIFY(!m->CloseAction()->isEnabled());
        CDataLog back; // the saved file replaced the old one: read it anew
        QVERIFY(mlog::Load(saved, back));
        QCOMPARE(back.m_nDataNumber, 2);

        QPointer<CMyOrvelDoc> gone(doc);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(gone.isNull());
    }

    void recentFiles()
    {
        QStringList paths;
        for (int i = 0; i < 5; ++i)
            paths << file(QStringLiteral("f%1.mLog").arg(i));
        {
            auto m = make();
            QSignalSpy changed(m.get(), &CDocManager::recentFilesChanged);
            for (const QString& p : paths)
                QVERIFY(m->OpenDocumentFile(p));
            QCOMPARE(changed.count(), 5);
            QCOMPARE(m->RecentFiles().size(), 4);
            QCOMPARE(m->RecentFiles().first(), QDir::toNativeSeparators(paths[4]));
            QCOMPARE(m->RecentFiles().last(), QDir::toNativeSeparators(paths[1]));
            m->CloseAllDocuments(false);
        }
        QSettings store(m_dir.filePath("registry.ini"), QSettings::IniFormat);
        QCOMPARE(store.value("Recent File List/File1").toString(), QDir::toNativeSeparators(paths[4]));
        QCOMPARE(store.value("Recent File List/File4").toString(), QDir::toNativeSeparators(paths[1]));

        // A new run reads the list back; a file gone since is dropped when chosen.
        auto m = make();
        QCOMPARE(m->RecentFiles().size(), 4);
        QMenu menu;
        QAction* exit = menu.addAction("E&xit");
        m->AddFileMenuItems(&menu, exit);
        QStringList shown;
        for (QAction* a : menu.actions()) {
            if (a->isVisible())
                shown << (a->isSeparator() ? QStringLiteral("-") : a->text());
        }
        QCOMPARE(shown.mid(0, 7),
            (QStringList { "&New", "&Open...", "&Close", "&Save", "Save &As...", "-",
                "&1 " + QDir::toNativeSeparators(paths[4]) }));
        QCOMPARE(shown.mid(10), (QStringList { "-", "E&xit" }));

        QVERIFY(QFile::remove(paths[3]));
        m->RecentFileActions().at(2)->trigger(); // "&2": paths[3]
        QCOMPARE(m_boxes.size(), 1);
        QVERIFY(m_boxes[0].text.contains("f3.mLog"));
        QCOMPARE(m->RecentFiles().size(), 3);
        QVERIFY(!m->RecentFiles().contains(QDir::toNativeSeparators(paths[3])));

        m->RecentFileActions().at(3)->trigger(); // now "&3": paths[1]
        QCOMPARE(m->ActiveDocument()->GetTitle(), QStringLiteral("f1.mLog"));
        QCOMPARE(m->RecentFiles().first(), QDir::toNativeSeparators(paths[1]));
    }

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    void storeMovesOnceToTheProgramsOwnFolder()
    {
        QStandardPaths::setTestModeEnabled(true);
        const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
        const QString oldPath = config.filePath("Local AppWizard-Generated Applications/Multimeter.conf");
        const QString newPath = config.filePath("multimeter/Multimeter.conf");
        QFile::remove(newPath);
        QFile::remove(oldPath);
        const QString kept = file("kept.mLog");
        {
            QDir().mkpath(QFileInfo(oldPath).absolutePath());
            QSettings old(oldPath, QSettings::IniFormat);
            old.setValue("Recent File List/File1", kept);
        }
        {
            CDocManager m; // the program's own store
            QCOMPARE(m.RecentFiles(), QStringList { kept });
        }
        QVERIFY(QFile::exists(newPath));
        QVERIFY(!QFile::exists(oldPath));
        QVERIFY(!QFileInfo::exists(QFileInfo(oldPath).absolutePath()));
        QSettings moved(newPath, QSettings::IniFormat);
        QCOMPARE(moved.value("Recent File List/File1").toString(), kept);
        // Only once: a file that turns up in the old place later is left alone.
        {
            QDir().mkpath(QFileInfo(oldPath).absolutePath());
            QSettings old(oldPath, QSettings::IniFormat);
            old.setValue("Recent File List/File1", "/elsewhere.mLog");
        }
        CDocManager again;
        QCOMPARE(again.RecentFiles(), QStringList { kept });
        QFile::remove(oldPath);
        QFile::remove(newPath);
    }
#endif
};

QTEST_MAIN(TestDocManager)
#include "test_docmanager.moc"
