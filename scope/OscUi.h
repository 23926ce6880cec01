#pragma once
// The window side of the oscilloscope: the store-button pane, the "OSC" window (made on first
// need, deleted 500 ms after it is closed: timer 10), the download progress window, posted
// messages, and the file dialogs of "Save OSC Data" and "Open OSC...". It only follows what
// COscController says; the main window creates one and wires its menu commands to it.
#include "scope/OscData.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <functional>

class COscController;
class COSCDlg;
class COSCList;
class QWidget;

class COscUi : public QObject {
    Q_OBJECT
public:
    static constexpr int kTimer10Ms = 500;

    struct Callbacks {
        // Where the OSC window goes (screen coordinates).
        std::function<QRect()> windowPlace;
        // Bring the pane that carries the store buttons forward.
        std::function<void()> showStorePane;
    };

    COscUi(COscController* controller, QWidget* frame, Callbacks callbacks);
    ~COscUi() override;

    COSCList* List() const { return m_pList; }
    COSCDlg* Window() const { return m_pOSCDlg; }
    bool Timer10Running() const { return m_timer10.isActive(); }

    // A record for the window with its title: made if needed, placed, shown as a waveform.
    void ShowRecord(const OSCData& record, const QString& title);
    // The store buttons: shown over the display (the meter entered its oscilloscope mode, a file
    // of all slots was opened).
    void ShowStorePane();

    // "Save OSC Data" and "Open OSC..." with their file dialogs.
    void OnSaveOscData();
    void OnOpenOsc();
    // Opens an ".osc" file without asking (a file given on the command line); a file that cannot
    // be read is said in a message box.
    void OpenOscFile(const QString& path);

    // The window was closed (0x46E): its deletion waits for timer 10.
    void OnOscWindowClosed();
    void OnTimer10();

private:
    COscController* m_pController;
    QWidget* m_pFrame;
    Callbacks m_callbacks;
    QPointer<COSCList> m_pList; // the panel owns it once it lies over the display
    QPointer<COSCDlg> m_pOSCDlg;
    QTimer m_timer10;
};
