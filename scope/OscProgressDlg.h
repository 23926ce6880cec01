#pragma once
// The small window that shows the progress of a download of the meter's stored waveforms: one
// progress bar over the slots 0..10. The oscilloscope controller says when it shows, moves and
// goes (COscController::progressChanged); FollowOscProgress ties the two together.
#include <QDialog>

class COscController;
class QProgressBar;

class COSCProgress : public QDialog {
    Q_OBJECT
public:
    static constexpr int kDialogId = 241;
    static constexpr int kProgressControlId = 1063;

    explicit COSCProgress(QWidget* parent = nullptr);

    QProgressBar* Bar() const { return m_pBar; }
    // On top, its top-left corner at half the width and half the height of the frame's client
    // area; its own size is kept.
    void PlaceOver(QWidget* frame);

private:
    QProgressBar* m_pBar;
};

// Shows, moves and closes a COSCProgress over `frame` as the controller's download goes.
void FollowOscProgress(COscController* controller, QWidget* frame);
