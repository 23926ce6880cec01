#pragma once
// The seven live-frame decoders. Each fills the working record from one complete frame, moves
// the dial position, builds the reading's date text and the saved-reading kind, and sends the
// result out as one MeterEvent. Runs on the link's receive thread; the GUI thread only resets the
// dial. Recording is the business of whoever receives the events (CRecorder).
#include "protocol/MeterData.h"
#include "protocol/MeterEvent.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <string_view>

class CLiveDecoder : public QObject {
    Q_OBJECT
public:
    // Frame lengths in characters by display mode (index 1..7).
    static constexpr int kFrameChars[8] = { 0, 54, 118, 70, 94, 72, 68, 42 };
    static constexpr int kDialFrequency = 10;
    static constexpr const char* kDateWarningText = "DateTime is wrong, please correct datetime!";

    explicit CLiveDecoder(QObject* parent = nullptr);

    // Decodes one whole frame of display mode 1..7 (its text from header to trailer).
    // savedReadings is the dispatcher's flag: saved readings follow the store marker.
    void Decode(int mode, std::string_view frame, bool savedReadings);

    void DecodeNormal(std::string_view frame, bool savedReadings = false);
    void DecodeMinMax(std::string_view frame, bool savedReadings = false);
    void DecodeRelative(std::string_view frame, bool savedReadings = false);
    void DecodePeak(std::string_view frame, bool savedReadings = false);
    void DecodeDcAc(std::string_view frame, bool savedReadings = false);
    void DecodeDualAc(std::string_view frame, bool savedReadings = false);
    void DecodeFrequency(std::string_view frame, bool savedReadings = false);

    // Dial position after the last frame (0 before any); any thread. The GUI resets it to 0
    // when it blanks the display.
    int DialPos() const { return m_nDialPos.load(); }
    void ResetDialPos() { m_nDialPos.store(0); }

    // The meter switched to its oscilloscope (the dispatcher saw its mode marker): the dial
    // moves as for the unit text "OSC" and oscModeEntered is emitted. Receive thread.
    void EnterOscMode();

    // The working record; receive thread only.
    const MeterData& Record() const { return m_MeterData; }

    // The saved-reading kind of a decoded frame of the given mode, 0 when it has none.
    static int SavedKind(int mode, const MeterData& data);

signals:
    // One decoded frame, emitted on the receive thread. Connect queued from the GUI.
    void frameDecoded(const MeterEvent& event);
    // The oscilloscope mode marker, emitted on the receive thread: the display goes to mode 10
    // with the function "OSC" and shows the stored-waveform pane. dialPos is the new position.
    void oscModeEntered(int dialPos);

private:
    void ReadStatus(uint8_t status, bool withBit4);
    void ReadClock(std::string_view frame, int k);
    void ReadFlags(uint8_t flags);
    // Date text of modes 1, 3, 5, 6 and 7: the meter's clock as sent.
    QString ClockDateText() const;
    // Date text of modes 2 and 4: the start of the meter's recording. Sets warning when the
    // clock is unset and the warning has not been raised since the last good clock.
    QString RecordingStartText(bool& warning);
    // frequencyPosition: the frame sets the frequency position instead of the classified one.
    int MoveDial(const QString& unit, bool frequencyPosition = false);
    void Finish(int mode, std::string_view frame, bool savedReadings, const QString& dateText, bool warning);

    MeterData m_MeterData;
    std::atomic<int> m_nDialPos { 0 };
    bool m_bDateWarned = false; // raised for the current run of unset clocks
};
