#pragma once
// The logger transfer's progress window: records fetched of the list, and blocks received of the
// record on its way. Not modal; it never takes the input away from the main window.
#include "logger/LoggerDownload.h"

#include <QDialog>

class QLabel;
class QProgressBar;

class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWaitDlg(QWidget* parent = nullptr);

    void SetProgress(const LoggerProgress& p);
    QProgressBar* RecordsBar() const { return m_pRecords; }
    QProgressBar* BlocksBar() const { return m_pBlocks; }
    // Puts the window's top-left corner at the centre of `area` (global coordinates).
    void PlaceAt(const QRect& area);

private:
    QLabel* m_pRecordsLabel;
    QProgressBar* m_pRecords;
    QProgressBar* m_pBlocks;
};
