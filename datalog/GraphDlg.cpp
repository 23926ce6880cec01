#include "datalog/GraphDlg.h"

#include "datalog/GraphPainter.h"
#include "datalog/GraphOverlayPainter.h"
#include "datalog/MyOrvelDoc.h"

#include <QMouseEvent>
#include <QPainter>

namespace {

const CDataSeries& emptySeries()
{
    static const CDataSeries s;
    return s;
}

PointBoxMaker& pointBoxMaker()
{
    static PointBoxMaker make;
    return make;
}

Qt::CursorShape cursorFor(int tool)
{
    switch (tool) {
    case CGraphModel::YBig: return Qt::SizeVerCursor;
    case CGraphModel::XBig: return Qt::SizeHorCursor;
    case CGraphModel::Move: return Qt::OpenHandCursor;
    case CGraphModel::ShowNumber: return Qt::PointingHandCursor;
    case CGraphModel::Big: return Qt::UpArrowCursor;
    case CGraphModel::Small: return Qt::ArrowCursor;
    default: return Qt::CrossCursor; // rectangle and FFT range
    }
}

} // namespace

CGraphDlg::CGraphDlg(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    if (pointBoxMaker())
        m_pShowData = pointBoxMaker()(this);
    if (m_pShowData) {
        m_pShowData->move(0, 0);
        // The box only shows; the mouse keeps working on the plot under it.
        m_pShowData->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_pShowData->hide();
    }
    setCursor(cursorFor(m_nTool));
}

void CGraphDlg::SetDocument(CMyOrvelDoc* doc)
{
    m_pDoc = doc;
    m_nCount = doc ? doc->m_arrSeries[0].Size() : 0;
    Invalidate();
}

void CGraphDlg::SetPointBoxMaker(PointBoxMaker make) { pointBoxMaker() = std::move(make); }

const CDataLog* CGraphDlg::Document() const { return m_pDoc.data(); }

void CGraphDlg::SetTool(int tool)
{
    m_nTool = tool;
    m_bDragging = false;
    if (tool != CGraphModel::ShowNumber)
        HidePick();
    setCursor(cursorFor(tool));
    update();
}

void CGraphDlg::SetYRange(double max, double min)
{
    m_model.SetYRange(max, min);
    Invalidate();
}

void CGraphDlg::FollowYRange(double max, double min)
{
    GraphAxisState before[3];
    for (int i = 0; i < 3; ++i)
        before[i] = m_model.State(i);
    m_model.SetYRange(max, min);
    bool same = true;
    for (int i = 0; i < 3 && same; ++i) {
        const GraphAxisState& st = m_model.State(i);
        same = st.m_dYMax == before[i].m_dYMax && st.m_dYMin == before[i].m_dYMin
            && st.m_dYMinHome == before[i].m_dYMinHome && st.m_dYPerPixel == before[i].m_dYPerPixel;
    }
    if (!same)
        Invalidate();
}

void CGraphDlg::ResetZoom()
{
    m_model.ResetZoom();
    m_bMoved = false;
    emit scrollStateChanged();
    Invalidate();
}

void CGraphDlg::ResetHorizontal()
{
    m_model.ResetX();
    m_bMoved = false;
    emit scrollStateChanged();
    Invalidate();
}

void CGraphDlg::Invalidate()
{
    m_bDirty = true;
    update();
}

GraphDrawParams CGraphDlg::ScreenParams() const
{
    GraphDrawParams p;
    p.rect = rect();
    p.xPerPixel = m_model.State(0).m_dXPerPixel;
    p.yPerPixel = m_model.State(0).m_dYPerPixel;
    p.maskPoints = m_bMaskPoints;
    return p;
}

void CGraphDlg::DrawGraph(QPainter& p, const QRect& rect, double xPerPixel, double yPerPixel, int fontHeight,
    int left, int top, bool print, bool raster) const
{
    GraphDrawParams params;
    params.rect = rect;
    params.xPerPixel = xPerPixel;
    params.yPerPixel = yPerPixel;
    params.fontHeight = fontHeight;
    params.left = left;
    params.top = top;
    params.print = print;
    params.maskPoints = m_bMaskPoints;
    const CDataSeries& s = m_pDoc ? m_pDoc->m_arrSeries[0] : emptySeries();
    const GraphScene scene = BuildGraphScene(m_model.State(0), s, params);
    // On paper the plot keeps its background, as on screen and in the copy: the default line
    // colour cannot be seen on white.
    if (print)
        p.fillRect(scene.plot, GraphPainter::ToColor(m_colors.plotBack));
    GraphPainter::Render(p, scene, m_colors, raster);
    if (!m_overlay.isEmpty())
        GraphPainter::RenderOverlay(p, BuildOverlay(params));
}

void CGraphDlg::SetOverlay(const QString& baseName, const QList<OverlayDoc>& others)
{
    m_strOverlayBase = baseName;
    m_overlay = others;
    Invalidate();
}

bool CGraphDlg::Overlays(const CMyOrvelDoc* doc) const
{
    for (const OverlayDoc& o : m_overlay) {
        if (doc && o.doc == doc)
            return true;
    }
    return false;
}

GraphOverlayScene CGraphDlg::BuildOverlay(const GraphDrawParams& params) const
{
    QVector<GraphOverlaySeries> others;
    for (const OverlayDoc& o : m_overlay) {
        // A document closed meanwhile drops out of the picture and the legend.
        if (o.doc)
            others.append({ &o.doc->m_arrSeries[0], o.name, o.color });
    }
    const CDataSeries& s = m_pDoc ? m_pDoc->m_arrSeries[0] : emptySeries();
    return BuildGraphOverlay(m_model.State(0), params, s, m_strOverlayBase, m_colors.line, others);
}

GraphOverlayScene CGraphDlg::OverlayScene() const
{
    return BuildOverlay(ScreenParams());
}

QImage CGraphDlg::CopyImage() const
{
    QImage img(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    img.fill(GraphPainter::ToColor(m_colors.plotBack));
    QPainter p(&img);
    const GraphAxisState& st = m_model.State(0);
    DrawGraph(p, img.rect(), st.m_dXPerPixel, st.m_dYPerPixel, 16, 50, 25, false);
    return img;
}

void CGraphDlg::RenderPicture()
{
    const qreal dpr = devicePixelRatioF();
    const QSize want = size().expandedTo(QSize(1, 1)) * dpr;
    if (m_picture.size() != want) {
        m_picture = QImage(want, QImage::Format_RGB32);
        m_picture.setDevicePixelRatio(dpr);
    }
    const qsizetype count = m_pDoc ? m_pDoc->m_arrSeries[0].Size() : 0;
    m_model.GrowX(count, m_pDoc && m_pDoc->m_bLive, m_bDragging);
    m_picture.fill(GraphPainter::ToColor(m_colors.plotBack));
    QPainter p(&m_picture);
    const GraphAxisState& st = m_model.State(0);
    DrawGraph(p, rect(), st.m_dXPerPixel, st.m_dYPerPixel, 16, CGraphModel::kLeft, CGraphModel::kTop, false);
    m_nCount = count;
    m_bDirty = false;
    ++m_nFullPaints;
}

void CGraphDlg::AppendLastPoint()
{
    const CDataSeries& s = m_pDoc ? m_pDoc->m_arrSeries[0] : emptySeries();
    const qsizetype before = m_nCount;
    m_nCount = s.Size();
    // The other documents' lines are redrawn with the whole picture.
    if (!m_overlay.isEmpty()) {
        Invalidate();
        return;
    }
    const bool overlay = m_bDragging || (m_nTool == CGraphModel::ShowNumber && m_nPicked >= 0);
    if (m_bDirty || overlay || m_picture.isNull() || !m_model.CanAppendIncrementally(s) || before + 1 != s.Size()) {
        Invalidate();
        return;
    }
    QPainter p(&m_picture);
    const GraphScene seg = BuildTraceSegment(m_model.State(0), s, ScreenParams(), s.Size() - 2, s.Size() - 1);
    GraphPainter::RenderTrace(p, seg, m_colors);
    ++m_nIncremental;
    QRect dirty;
    for (const QLine& l : seg.trace)
        dirty |= QRect(l.p1(), l.p2()).normalized();
    for (const QPoint& m : seg.marks)
        dirty |= QRect(m.x() - 4, m.y() - 4, 9, 9);
    update(dirty.adjusted(-2, -2, 2, 2));
}

void CGraphDlg::paintEvent(QPaintEvent*)
{
    if (m_bDirty || m_picture.size() != size() * devicePixelRatioF())
        RenderPicture();
    QPainter p(this);
    p.drawImage(0, 0, m_picture);
    PaintOverlay(p);
}

void CGraphDlg::PaintOverlay(QPainter& p)
{
    switch (m_nTool) {
    case CGraphModel::Rect:
    case CGraphModel::Fft:
        if (m_bDragging) {
            p.setPen(QPen(GraphPainter::ToColor(GraphColor::Band), 1, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(QRect(m_ptStart, m_ptCurrent).normalized());
        }
        break;
    case CGraphModel::YBig:
        if (m_bDragging) {
            p.setPen(Qt::black);
            const int x0 = m_ptStart.x();
            p.drawLine(x0 - 5, m_ptStart.y(), x0 + 5, m_ptStart.y());
            p.drawLine(x0 - 5, m_ptCurrent.y(), x0 + 5, m_ptCurrent.y());
            p.drawLine(x0, m_ptStart.y(), x0, m_ptCurrent.y());
        }
        break;
    case CGraphModel::XBig:
        if (m_bDragging) {
            p.setPen(Qt::black);
            const int y0 = m_ptStart.y();
            p.drawLine(m_ptStart.x(), y0 - 5, m_ptStart.x(), y0 + 5);
            p.drawLine(m_ptCurrent.x(), y0 - 5, m_ptCurrent.x(), y0 + 5);
            p.drawLine(m_ptStart.x(), y0, m_ptCurrent.x(), y0);
        }
        break;
    case CGraphModel::ShowNumber:
        if (m_nPicked >= 0 && m_pDoc && m_nPicked < m_pDoc->m_arrSeries[0].Size()) {
            p.setPen(Qt::black);
            p.drawLines(PickCross(m_model.State(0), ScreenParams(), m_nPicked, m_pDoc->m_arrSeries[0].Value(m_nPicked)));
        }
        break;
    default:
        break;
    }
}

void CGraphDlg::resizeEvent(QResizeEvent*)
{
    if (!m_bSized) {
        m_model.Init(width(), height());
        m_bSized = true;
    } else {
        m_model.Resize(width(), height());
    }
    Invalidate();
    emit scrollStateChanged();
}

void CGraphDlg::Pick(QPoint at)
{
    const CDataSeries& s = m_pDoc ? m_pDoc->m_arrSeries[0] : emptySeries();
    const qsizetype i = m_model.PickIndex(at.x(), s);
    if (i < 0) {
        HidePick();
        return;
    }
    m_nPicked = i;
    if (!m_pShowData)
        return;
    m_pShowData->SetData(int(i), s.DateTime(i), s.Value(i), s.Unit(i), s.Type(i));
    m_pShowData->show();
    m_pShowData->raise();
}

void CGraphDlg::HidePick()
{
    m_nPicked = -1;
    if (m_pShowData)
        m_pShowData->hide();
}

void CGraphDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    const QPoint pt = event->position().toPoint();
    if (!m_model.InPlot(pt))
        return;
    switch (m_nTool) {
    case CGraphModel::Rect:
    case CGraphModel::YBig:
    case CGraphModel::XBig:
    case CGraphModel::Fft:
        m_ptStart = m_ptCurrent = pt;
        m_bDragging = true;
        break;
    case CGraphModel::Move:
        m_ptCurrent = m_ptAnchor = pt;
        m_bDragging = true;
        setCursor(Qt::ClosedHandCursor);
        break;
    case CGraphModel::ShowNumber:
        m_bDragging = true;
        Pick(pt);
        break;
    default:
        break;
    }
    update();
}

void CGraphDlg::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_bDragging)
        return;
    const QPoint pt = event->position().toPoint();
    switch (m_nTool) {
    case CGraphModel::Rect:
    case CGraphModel::Fft: {
        const QRect grown = QRect(CGraphModel::kLeft, CGraphModel::kTop, m_model.PlotWidth(), m_model.PlotHeight())
                                .adjusted(-4, -4, 4, 4);
        m_ptCurrent = m_model.ClampToPlot(pt);
        if (!grown.contains(pt))
            m_bDragging = false;
        break;
    }
    case CGraphModel::YBig:
    case CGraphModel::XBig:
        m_ptCurrent = pt;
        break;
    case CGraphModel::Move:
        if (!m_model.InPlot(pt)) {
            m_bDragging = false;
            setCursor(cursorFor(m_nTool));
            break;
        }
        m_ptCurrent = pt;
        if (m_model.Pan(m_ptAnchor, m_ptCurrent)) {
            m_bMoved = true;
            m_bDirty = true;
        }
        m_ptAnchor = m_ptCurrent;
        emit scrollStateChanged();
        break;
    case CGraphModel::ShowNumber:
        if (!m_model.InPlot(pt)) {
            HidePick();
            m_bDragging = false;
            break;
        }
        Pick(pt);
        break;
    default:
        break;
    }
    update();
}

void CGraphDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    const QPoint pt = event->position().toPoint();
    const bool inPlot = m_model.InPlot(pt);
    const bool wasDragging = m_bDragging;
    m_bDragging = false;
    bool changed = false;
    switch (m_nTool) {
    case CGraphModel::Rect:
        if (wasDragging)
            changed = m_model.RectZoom(m_ptStart, pt);
        break;
    case CGraphModel::YBig:
        if (wasDragging && inPlot)
            changed = m_model.ZoomY(m_ptStart, pt);
        break;
    case CGraphModel::XBig:
        if (wasDragging && inPlot)
            changed = m_model.ZoomX(m_ptStart, pt);
        break;
    case CGraphModel::Move:
        setCursor(cursorFor(m_nTool));
        break;
    case CGraphModel::ShowNumber:
        HidePick();
        break;
    case CGraphModel::Big:
        if (inPlot)
            changed = m_model.StepZoomIn();
        break;
    case CGraphModel::Small:
        if (inPlot)
            changed = m_model.StepZoomOut();
        break;
    case CGraphModel::Fft: {
        const qsizetype count = m_pDoc ? m_pDoc->m_arrSeries[0].Size() : 0;
        const auto r = wasDragging ? m_model.FftRange(m_ptStart.x(), m_model.ClampToPlot(pt).x(), count)
                                   : std::nullopt;
        if (r)
            emit fftRangeChosen(int(r->first), int(r->second));
        else // a click names no stretch: say what the tool wants
            emit hint(QStringLiteral("FFT: drag across the graph from the first to the last reading to analyse."));
        break;
    }
    default:
        break;
    }
    if (changed)
        m_bDirty = true;
    emit scrollStateChanged();
    update();
}
