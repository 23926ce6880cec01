#pragma once
// The oscilloscope graph window: COscGraphModel says what to draw and how the mouse changes it;
// this widget only hands it the mouse and size and paints its scene. Draw() paints the same
// scene into any rectangle (the graph printout).
#include "scope/OscGraphModel.h"

#include <QWidget>

class QPainter;

namespace osc {
// Paints a scene laid out for the graph's client size into `target`, scaled to fit.
void PaintScene(QPainter& p, const OscScene& scene, const QRectF& target);
} // namespace osc

class COSCGraph : public QWidget {
    Q_OBJECT
public:
    explicit COSCGraph(QWidget* parent = nullptr);

    COscGraphModel& Model() { return m_model; }
    const COscGraphModel& Model() const { return m_model; }

    void SetData(const float* values, int count, const OSCInfo& info);
    void ResetView();
    // Everything but the zoom rectangle and crosshair, scaled into `target`; printing draws white
    // margins and black texts.
    void Draw(QPainter& p, const QRectF& target, bool printing) const;

signals:
    // The crosshair's read-out text while the right button is held; the last one stands after.
    void readoutChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Changed(bool repaint);

    COscGraphModel m_model;
    QString m_strReadout;
};
