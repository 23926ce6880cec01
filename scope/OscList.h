#pragma once
// The pane of ten store buttons over the meter panel's display: one per stored waveform of the
// meter, each showing its slot number in the upper right corner and the slot's status word on the
// status colour. Pressing a button asks for that slot's record (storeButtonPressed, posted).
#include "scope/OscStoreLook.h"

#include <QAbstractButton>
#include <QWidget>
#include <array>

class QPainter;

// One store button, drawn from its look.
class COscStoreButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit COscStoreButton(int slot, QWidget* parent = nullptr);
    void SetLook(const osc::OscStoreLook& look);
    const osc::OscStoreLook& Look() const { return m_look; }
    QSize sizeHint() const override { return QSize(56, 41); }

    // Draws a look into `rect` (the pane, the gallery).
    static void PaintLook(QPainter& p, const QRectF& rect, const osc::OscStoreLook& look, bool pressed);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    osc::OscStoreLook m_look;
};

class COSCList : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDialogId = 238;
    static constexpr int kFirstButtonId = 1053; // slot 1; slot 10 is 1062
    static constexpr int kSlots = 10;

    explicit COSCList(QWidget* parent = nullptr);

    // Sets the button of `slot` (1..10) to the look of `status`.
    void SetStoreLook(int slot, int status);
    void SetLook(const osc::OscStoreLook& look);
    COscStoreButton* Button(int slot) const;

signals:
    void storeButtonPressed(int slot);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    std::array<COscStoreButton*, kSlots> m_buttons {};
};
