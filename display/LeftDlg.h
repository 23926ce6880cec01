#pragma once
// The live panel: a picture of the meter with its LCD readout and the four meter keys. Decoded
// frames arrive as events on the GUI thread; the panel keeps its own copy of the reading record
// and redraws the last display mode from it on every repaint.
#include "display/LcdLayout.h"
#include "protocol/MeterEvent.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

class CMeterBtn;
class QMenu;

class CLeftDlg : public QWidget {
    Q_OBJECT
public:
    explicit CLeftDlg(QWidget* parent = nullptr);

    // Display modes besides the seven drawing variants 1..7.
    static constexpr int kModeNone = 0;
    static constexpr int kModeNoRecv = -1;
    static constexpr int kModeOscilloscope = 10;
    static constexpr int kDialOscilloscope = 11;

    // The seven drawing operations. Each lays out the readout for the record held by the panel
    // (the value and decimals given make the main value's text) and schedules a repaint.
    void DrawNormal(QString unit, float value, int decimals);
    void DrawMinMax(QString unit, float value, int decimals);
    void DrawRelative(QString unit, float value, int decimals);
    void DrawPeak(QString unit, float value, int decimals);
    void DrawDualDisplay(QString unit, float value, int decimals);
    void DrawAuxReading(QString unit, float value, int decimals);
    void DrawFrequency(QString unit, float value);

    // No reception: NO RECV picture, dial position 0.
    void Blank();

    // The dial position (the decoder owns it; decoded frames carry it) with its change rule: a
    // new position is stored, a move away from the oscilloscope asks an open oscilloscope window
    // to close, and the panel repaints. Positions outside 0..11 leave it unchanged.
    void SetDialPos(int pos);
    int DialPos() const { return m_nDialPos; }

    // The frame dispatcher's oscilloscope mode (10) and the like; repaints.
    void SetDisplayMode(int mode);
    int DisplayMode() const { return m_nDisplayMode; }

    // The panel's copy of the reading record.
    const MeterData& Record() const { return m_MeterData; }
    void SetRecord(const MeterData& d) { m_MeterData = d; }

    // What the display frame shows now, and where the frame is in the panel.
    const LcdScene& Scene() const { return m_scene; }
    static QRect DisplayFrameRect();

    // The stored-waveform selector: laid over the display frame, hidden while a live readout is
    // drawn. The panel takes it as a child.
    void SetStoreSlotWindow(QWidget* window);

    CMeterBtn* Key(int controlId) const;

    // The F1 pop-up: the dial-position word, "REL" and "PEAK", giving the codes 1, 4 and 5.
    QMenu* CreateFunctionMenu(QWidget* parent) const;
    // Shows the pop-up under the F1 key and waits for the choice. A chosen item leaves as
    // keyCode() like a key press and is also returned; 0 when the menu was dismissed.
    int ShowFunctionMenu();

    // The panel's zoom: 1 draws it in its own pixels; the skin, the LCD, the switch and the keys
    // all scale together, keeping their proportions.
    static constexpr double kMinZoom = 0.5;
    static constexpr double kMaxZoom = 4.0;
    void SetZoom(double zoom);
    double Zoom() const { return m_fZoom; }
    // The display frame as it stands on the zoomed panel.
    QRect ScaledFrame() const;

    // The meter's alarm is on: a red border round the panel and round the display frame, which
    // leaves the readout as it is. Off again when the alarm clears.
    void SetAlarm(bool on);
    bool IsAlarmOn() const { return m_bAlarm; }
    static QColor AlarmColor() { return QColor(220, 0, 0); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // One decoded frame: store the record, apply the dial position, draw the mode, set the mode.
    void OnMeterEvent(const MeterEvent& event);

signals:
    // A key press (2 Hold, 3 MAX, 6 Range, 10 F1) or a pop-up choice (1, 4, 5).
    void keyCode(int code);
    void closeOscWindowRequested();
    // The meter's date is unset: the main window shows "DateTime is wrong, please correct
    // datetime!" once for this frame.
    void dateWarningDue();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void Draw(int mode, const QString& unit, float value, int decimals);
    void HideStoreSlotWindow();
    void FixRunDate();

    int m_nDialPos = 0;
    int m_nDisplayMode = kModeNone;
    MeterData m_MeterData;
    LcdScene m_scene;
    CMeterBtn* m_pKeys[4] = {};
    QPointer<QWidget> m_pStoreSlots;
    double m_fZoom = 1.0;
    bool m_bAlarm = false;
};
