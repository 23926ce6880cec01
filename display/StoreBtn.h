#pragma once
// A button that draws nothing of its own: it keeps its place and its clicks, and whatever lies
// under it shows through.
#include <QPushButton>

class CStoreBtn : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override { }
};
