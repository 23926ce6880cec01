#pragma once
// The layout step of the live display: turns the panel's reading record and a display mode into
// a scene. It measures texts through an interface so that it needs no font machinery itself.
#include "display/LcdScene.h"
#include "protocol/MeterData.h"

class LcdTextMeasure {
public:
    virtual ~LcdTextMeasure() = default;
    virtual int TextWidth(const LcdFont& font, const QString& text) const = 0;
    // Line height L: the cell height plus the external leading.
    virtual int LineHeight(const LcdFont& font) const = 0;
};

// The bar graph's scale: from Low to High; bipolar when Low is below 0.
struct LcdBarScale {
    bool valid = false;
    float high = 0.0f;
    float low = 0.0f;
};

// Scale for a function and decimal count in a display mode (1, 3 or 4); invalid means no bar.
LcdBarScale ChooseBarScale(const QString& function, int decimals, int mode);

// The unit legend row a mode draws for the record's unit, or -1 for none.
int LegendRowFor(int mode, const MeterData& d);

class LcdLayout {
public:
    LcdLayout(const MeterData& record, QSize frame, const LcdTextMeasure& measure);

    // The seven variants. The value and decimals given make the main value's text; over-range
    // tests and everything else read the record.
    LcdScene Normal(const QString& unit, float value, int decimals) const; // mode 1
    LcdScene MinMax(const QString& unit, float value, int decimals) const; // mode 2
    LcdScene Relative(const QString& unit, float value, int decimals) const; // mode 3
    LcdScene Peak(const QString& unit, float value, int decimals) const; // mode 4
    LcdScene DualDisplay(const QString& unit, float value, int decimals) const; // mode 5
    LcdScene AuxReading(const QString& unit, float value, int decimals) const; // mode 6
    LcdScene Frequency(const QString& unit, float value) const; // mode 7

    // The display mode of the meter's oscilloscope: no reading, the clock, "OSC" and a line
    // saying the oscilloscope is active.
    static constexpr int kOscilloscopeMode = 10;

    // The scene of a display mode with the record's own unit, value and decimals: 1..7 a
    // variant, -1 the NO RECV picture, 10 the oscilloscope, anything else the empty LCD.
    LcdScene ForMode(int mode) const;
    LcdScene Oscilloscope() const;

    // Adds the bar graph for the scale and reading to a scene.
    void BarGraph(LcdScene& scene, float high, float low, float reading) const;

private:
    // The frame and the big value, centred; maxWidth < 0: the frame's width.
    LcdScene Begin(const QString& valueText, int maxWidth = -1) const;
    void ClockAndDate(LcdScene& s, int year, int month, int day, int hour, int minute) const;
    void UnitLegend(LcdScene& s, int row) const;
    void Picture(LcdScene& s, LcdPicture picture, int x, int y, LcdRole role = LcdRole::Annunciator) const;
    void Hold(LcdScene& s, int mode) const;
    void Range(LcdScene& s, bool autoRange) const;
    void ModeLegend(LcdScene& s, LcdPicture picture) const;
    void Text(LcdScene& s, int x, int y, const QString& text, LcdRole role = LcdRole::Text) const;
    void StatLine(
        LcdScene& s, int y, const char* label, const QString& value, const QString& unit, const QString& time) const;
    void StartLine(LcdScene& s, int y, const QString& start) const;
    struct RowCell {
        int x; // where the column starts
        QString text; // empty: nothing drawn, the column still keeps its place
    };
    void Row(LcdScene& s, int y, const QVector<RowCell>& cells) const;
    int BelowBar(const LcdScene& s, int y) const;
    void Bar(LcdScene& s, int mode) const;
    QString MainReading(float value, int decimals) const;

    const MeterData& m_d;
    const LcdTextMeasure& m_measure;
    int m_nW;
    int m_nH;
    int m_nBigL;
    int m_nSmallL;
};
