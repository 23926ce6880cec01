#pragma once
// The box the trend graph shows for the point under the cursor. Its look is the live display's
// (a layer above the data log), so the graph only knows this face of it and is told how to make
// one: the window registers the maker once (CGraphDlg::SetPointBoxMaker). Without a maker the
// graph still picks points and shows no box.
#include <QString>
#include <QWidget>
#include <functional>

class CPointBox : public QWidget {
public:
    using QWidget::QWidget;
    // The point's number, its time text, value, unit and type.
    virtual void SetData(
        int number, const QString& timeText, double value, const QString& unitText, const QString& typeText)
        = 0;
};

// Makes the box as a child of the graph.
using PointBoxMaker = std::function<CPointBox*(QWidget* parent)>;
