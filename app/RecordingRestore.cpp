#include "app/RecordingRestore.h"

#include "app/DocManager.h"
#include "datalog/MyOrvelDoc.h"
#include "recording/RecordingJournal.h"
#include "platform/MessageBox.h"

#include <QDir>
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
        const QString where = QDir::toNativeSeparators(path);
        if (read.points == 0) {
            // A journal that never got a whole reading goes; one whose readings are all damaged
            // stays, for whoever can make more of it.
            if (read.Whole())
                QFile::remove(path);
            else
                msgbox::Show(parent,
                    QStringLiteral("A recording was not finished when the program ended, and its journal is too "
                                   "damaged to read (%1 damaged records). It is kept in \"%2\".")
                        .arg(read.damaged)
                        .arg(where),
                    QStringLiteral("Tip"), msgbox::Warning);
            continue;
        }
        const CDataSeries& s = log.m_arrSeries[0];
        const QString damaged = read.Whole()
            ? QString()
            : QStringLiteral(" %1 damaged records were skipped.").arg(read.damaged);
        const QString text = QStringLiteral("A recording was not finished when the program ended: %1 readings of %2, "
                                            "from %3 to %4.%5\n\nRestore it as a document? (No keeps it in \"%6\".)")
                                 .arg(read.points)
                                 .arg(s.Type(0), s.DateTime(0), s.DateTime(s.Size() - 1), damaged, where);
        if (msgbox::Show(parent, text, QStringLiteral("Tip"), msgbox::Question, msgbox::Yes | msgbox::No)
            != msgbox::Yes)
            continue;
        CMyOrvelDoc* doc = manager->OnFileNew();
        if (!doc)
            continue;
        static_cast<CDataLog&>(*doc) = std::move(log);
        doc->m_bLive = false;
        doc->SetModifiedFlag(true);
        emit doc->contentsLoaded();
        // The journal goes only once the readings are in a saved file, and never when part of it
        // could not be read: what was skipped may still be got out of it.
        journals->HoldUntilSaved(doc, path, read.Whole());
        ++restored;
    }
    return restored;
}
