#include "app/RecordingRestore.h"

#include "app/DocManager.h"
#include "datalog/MyOrvelDoc.h"
#include "datalog/RecordingJournal.h"
#include "platform/MessageBox.h"

#include <QFile>
#include <QWidget>

int OfferJournalRestore(QWidget* parent, CDocManager* manager, CRecordingJournals* journals)
{
    int restored = 0;
    for (const QString& path : journal::UnfinishedJournals(journals->Folder())) {
        CDataLog log;
        journal::ReadResult read;
        if (!journal::Read(path, log, &read))
            continue; // not ours: left alone
        if (read.points == 0) {
            QFile::remove(path);
            continue;
        }
        const CDataSeries& s = log.m_arrSeries[0];
        const QString text = QStringLiteral("A recording was not finished when the program ended: %1 readings of %2, "
                                            "from %3 to %4.\n\nRestore it as a document? (No discards it.)")
                                 .arg(read.points)
                                 .arg(s.Type(0), s.DateTime(0), s.DateTime(s.Size() - 1));
        if (msgbox::Show(parent, text, QStringLiteral("Tip"), msgbox::Question, msgbox::Yes | msgbox::No)
            != msgbox::Yes) {
            QFile::remove(path);
            continue;
        }
        CMyOrvelDoc* doc = manager->OnFileNew();
        if (!doc)
            continue;
        static_cast<CDataLog&>(*doc) = std::move(log);
        doc->m_bLive = false;
        doc->SetModifiedFlag(true);
        emit doc->contentsLoaded();
        // The document holds the readings now; its own journal guards them until it is saved.
        journals->Track(doc);
        QFile::remove(path);
        ++restored;
    }
    return restored;
}
