#pragma once
// The trend graph of a data-log document: series 0 against its position, with grid, labels,
// point markers, the mouse tools (zoom, pan, point read-out, FFT range) and the read-out box.
//
// The arithmetic lives in CGraphModel, the picture in GraphScene; this widget keeps the picture
// of the last full paint so that a new reading (AppendLastPoint) draws only its own segment.
//
// For the recording paths: SetYRange and IsZoomedOrMoved decide the vertical range while
// recording, AppendLastPoint draws the newest point.
#include "datalog/GraphModel.h"
#include "datalog/GraphScene.h"
#include "datalog/PointBox.h"
#include "datalog/GraphOverlay.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

class CDataLog;
class CMyOrvelDoc;

class CGraphDlg : public QWidget {
    Q_OBJECT
public:
    explicit CGraphDlg(QWidget* parent = nullptr);

    // The document drawn (series 0); null draws an empty graph (the settings preview).
    void SetDocument(CMyOrvelDoc* doc);
    const CDataLog* Document() const;

    CGraphModel& Model() { return m_model; }
    const CGraphModel& Model() const { return m_model; }

    // Tools 1..8 (CGraphModel::Tool). Any tool but the read-out hides the read-out box.
    void SetTool(int tool);
    int Tool() const { return m_nTool; }

    // The full vertical range of all three axis states, shown whole; repaints.
    void SetYRange(double max, double min);
    // The same for the recording, which sets the range of the function on every reading: the
    // same range again changes no pixel and repaints nothing (a whole repaint per reading would
    // cost more than the reading).
    void FollowYRange(double max, double min);
    // "All": the full ranges again, not zoomed; notifies the view's scroll bars; repaints.
    void ResetZoom();
    // A different record is shown: the X range starts again as on a new graph, not zoomed or
    // moved; repaints.
    void ResetHorizontal();
    // True once the user zoomed, panned or scrolled since the last ResetZoom: recording then
    // leaves the vertical range alone.
    bool IsZoomedOrMoved() const { return m_model.IsZoomed() || m_bMoved; }
    void SetMoved() { m_bMoved = true; }

    // After a reading was added to series 0: draws only the newest segment when the point lies in
    // the full ranges and nothing is zoomed, else repaints everything.
    void AppendLastPoint();

    GraphColors m_colors;
    bool m_bMaskPoints = true;
    // Repaints after colours, markers or the model were changed from outside.
    void Invalidate();

    // The drawing routine on any painter: `rect`, per-pixel values, font height, margins, print
    // flag (white margins), as the copy and the printouts use it.
    void DrawGraph(QPainter& p, const QRect& rect, double xPerPixel, double yPerPixel, int fontHeight, int left,
        int top, bool print, bool raster = true) const;
    // The graph as the clipboard gets it: client size, background colour, left margin 50.
    QImage CopyImage() const;
    // What the last paint or AppendLastPoint produced (tests, the gallery).
    const QImage& Picture() const { return m_picture; }
    // Full redraws so far and incremental draws so far.
    int FullPaints() const { return m_nFullPaints; }
    int IncrementalDraws() const { return m_nIncremental; }

    // Makes the point box of every graph created afterwards.
    static void SetPointBoxMaker(PointBoxMaker make);
    // The point box, or null when no maker was registered.
    CPointBox* ShowDataBox() const { return m_pShowData; }
    qsizetype Picked() const { return m_nPicked; }

    QSize sizeHint() const override { return QSize(600, 360); }

    // Further documents drawn over this one on its time axis (the documents several meters
    // recorded from one Start), each in its colour, with a legend that names `baseName` (this
    // graph's document) and them. An empty list is the one-document graph again. Repaints.
    struct OverlayDoc {
        QPointer<CMyOrvelDoc> doc;
        QString name;
        uint32_t color = 0;
    };
    void SetOverlay(const QString& baseName, const QList<OverlayDoc>& others);
    bool HasOverlay() const { return !m_overlay.isEmpty(); }
    bool Overlays(const CMyOrvelDoc* doc) const;
    // What the overlay of the present view holds (tests, the gallery).
    GraphOverlayScene OverlayScene() const;

signals:
    // The visible window changed by a tool: the view updates its scroll bars.
    void scrollStateChanged();
    // The FFT tool chose positions `from` < `to` of series 0.
    void fftRangeChosen(int from, int to);
    // A short text for the status bar about how to use the tool in hand.
    void hint(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void RenderPicture();
    void PaintOverlay(QPainter& p);
    void Pick(QPoint at);
    void HidePick();
    GraphDrawParams ScreenParams() const;
    GraphOverlayScene BuildOverlay(const GraphDrawParams& params) const;

    CGraphModel m_model;
    QPointer<CMyOrvelDoc> m_pDoc;
    int m_nTool = CGraphModel::Rect;
    bool m_bDragging = false;
    bool m_bMoved = false;
    bool m_bSized = false;
    QPoint m_ptStart, m_ptCurrent, m_ptAnchor;
    qsizetype m_nPicked = -1;
    qsizetype m_nCount = 0;
    CPointBox* m_pShowData = nullptr;
    QImage m_picture;
    bool m_bDirty = true;
    int m_nFullPaints = 0;
    int m_nIncremental = 0;
    QList<OverlayDoc> m_overlay;
    QString m_strOverlayBase;
};
