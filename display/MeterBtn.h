#pragma once
// A meter key on the panel: its own picture, a rest and a pressed position, and one key code
// sent when it goes down. Repaints never send anything.
#include "display/MeterKeys.h"

#include <QAbstractButton>

class CMeterBtn : public QAbstractButton {
    Q_OBJECT
public:
    CMeterBtn(int controlId, QWidget* parent = nullptr);

    int ControlId() const { return m_nId; }
    const MeterKeySpec& Spec() const { return *m_pSpec; }
    QSize sizeHint() const override;

signals:
    void keyCode(int code);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void OnPressed();
    void OnReleased();
    void EndPress();

    int m_nId;
    const MeterKeySpec* m_pSpec;
    bool m_bHeld = false; // a code has gone out for the press in progress
};
