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
    // The panel's zoom: the key's size, its places and its picture grow with it.
    void SetScale(double scale);
    double Scale() const { return m_fScale; }

signals:
    void keyCode(int code);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void OnPressed();
    void OnReleased();
    void EndPress();
    QPoint RestPos() const;
    QPoint PressedPos() const;

    int m_nId;
    const MeterKeySpec* m_pSpec;
    bool m_bHeld = false; // a code has gone out for the press in progress
    double m_fScale = 1.0;
};
