#pragma once
// The graph tool bar: nine buttons (Move, Rect, XBig, YBig, Big, Small, Show, All, FFT) that
// send their command to the active data-log view. "Big" and "Small" are made hidden.
#include <QIcon>
#include <QToolBar>

class QToolButton;

class CControlDlgBar : public QToolBar {
    Q_OBJECT
public:
    explicit CControlDlgBar(QWidget* parent = nullptr);

    // The button with control id 1000..1011, or null.
    QToolButton* Button(int id) const;
    // The icon of a button, drawn here as vector art (sharp at any device pixel ratio).
    static QIcon MakeIcon(int id);

signals:
    // A button was pressed; the command has been sent to the active view (if any).
    void commandSent(int command);
};
