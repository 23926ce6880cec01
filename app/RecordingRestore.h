#pragma once
// At start-up: recordings that never finished (their program died) are offered back as
// documents, one question each.
class CDocManager;
class CRecordingJournals;
class QWidget;

// Asks about each unfinished journal in the journals' folder: Yes makes a document of it, and the
// journal goes once that document is saved; No leaves the journal where it is (the question says
// where). Returns the number restored.
int OfferJournalRestore(QWidget* parent, CDocManager* manager, CRecordingJournals* journals);
