#pragma once
// The oscilloscope controller: the eleven records, the two requests to the meter ("Get OSC
// Current Data", "Download OSC Logger"), the download with its progress and its watchdog
// (timer 30), the decoding of each arriving frame into its slot, and the ".osc" file commands.
// It lives on the GUI thread; frames come from the receive thread as values (PostFrame).
//
// What it asks of the windows goes out as signals: the record to show in the oscilloscope window,
// the look of a store button, the progress window's state, the store-button pane, and messages
// for the user, which the window side posts (never shows modally from the frame path).
#include "scope/OscData.h"
#include "scope/OscDecoder.h"
#include "scope/OscStoreLook.h"

#include <QObject>
#include <QTimer>
#include <functional>

class CFrameDispatcher;

namespace osc {
// Which stored slots (1..10) came in; slot 0 is not looked at.
using StoredArrivals = std::array<bool, kSlotCount>;
// What a download that did not bring all ten stored waveforms says ("8 of the 10 stored
// waveforms arrived; missing: 4, 7."); empty when all ten came.
QString ShortDownloadText(const StoredArrivals& arrived);
} // namespace osc
struct FrameDispatcherHooks;

class COscController : public QObject {
    Q_OBJECT
public:
    using SendFn = std::function<bool(const uint8_t* bytes, int count)>;
    // True when the meter may be asked: meter data has been seen on the link and the meter is in
    // its oscilloscope mode (display mode 10).
    using GuardFn = std::function<bool()>;

    static constexpr int kWatchdogMs = 3000; // timer 30
    static constexpr int kProgressMax = 10;
    static constexpr const char* kNumberWrongText = "number is wrong!";

    // The dispatcher's download and activity flags are the ones the controller sets and clears.
    COscController(CFrameDispatcher& dispatcher, SendFn send, GuardFn canAsk, QObject* parent = nullptr);

    // Adds the oscilloscope-record hook to the hooks of a dispatcher being made (see
    // CFrameDispatcher::ComposeFn): each whole record at the front of the frame text is copied
    // out as a value and queued to this object's thread. The controller must outlive the receive
    // threads that run the dispatcher.
    void AttachTo(FrameDispatcherHooks& hooks);
    // Any thread: queues a frame for OnOscFrame on this object's thread.
    void PostFrame(const osc::OscFrame& frame);

    // Menu commands. Both do nothing (and return false) unless the guard allows.
    bool OnGetOscCurrentData();
    bool OnDownloadOscLogger();
    // One frame, on the GUI thread.
    void OnOscFrame(const osc::OscFrame& frame);
    // One tick of timer 30 (the timer calls it every 3 s while a download runs).
    void OnTimer30();
    // A store button (slot 1..10) was pressed: shows the slot's record if it has one.
    bool OnStoreButton(int slot);

    // "Save OSC Data": false with kNoDataToSave when no stored slot is valid; ask for the file
    // name only when CanSaveOscData() holds.
    bool CanSaveOscData() const;
    bool OnSaveOscData(const QString& path, QString* message = nullptr);
    // "Open OSC...": both kinds. The slots change only when the whole file was good.
    bool OnOpenOsc(const QString& path, QString* message = nullptr);

    const osc::OscSlots& Slots() const { return m_slots; }
    const OSCData& Slot(int s) const { return m_slots.at(static_cast<size_t>(s)); }
    bool Downloading() const;
    bool ProgressShown() const { return m_bProgress; }
    int ProgressPosition() const { return m_nProgressPos; }
    bool WatchdogRunning() const { return m_timer30.isActive(); }
    osc::OscStoreLook StoreLookOf(int slot) const;

signals:
    // A record for the oscilloscope window with its title: slot-0 frames ("0 " and the capture
    // time), store buttons and single-record files ("N | " and the capture time).
    void recordToShow(const OSCData& record, const QString& title);
    // A store button's new look (slot 1..10).
    void storeLookChanged(int slot, const osc::OscStoreLook& look);
    // The download progress window: shown with its position 0..10, or gone (shown false).
    void progressChanged(bool shown, int position);
    // Bring the stored-waveform pane to the front (a download ended by the watchdog, a file of
    // all slots opened).
    void storePaneRequested();
    // A message for the user; connect it queued and post the box.
    void messageDue(const QString& text);

private:
    void SetProgress(bool shown, int position);
    // The download is over (its last slot came, or the watchdog ended it): says what is missing.
    void ReportArrivals();
    void RefreshStoreLooks();

    CFrameDispatcher& m_dispatcher;
    SendFn m_send;
    GuardFn m_canAsk;
    osc::OscSlots m_slots;
    QTimer m_timer30;
    bool m_bProgress = false;
    int m_nProgressPos = 0;
    osc::StoredArrivals m_arrived {}; // stored slots of the running download that came
};
