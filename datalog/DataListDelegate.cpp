#include "datalog/DataListDelegate.h"

#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QWidget>
#include <cmath>

namespace {

// The characters of row numbers, times and values.
constexpr char kComposable[] = "0123456789.:/-+ ";

// Shapes `text` as the stock delegate does (one line, no wrapping): its glyph runs with their
// places from the top of the line, the line's height and the text's width.
struct Shaped {
    QList<QGlyphRun> runs;
    qreal height = 0, width = 0;
};

Shaped Shape(const QString& text, const QFont& font)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    Shaped s;
    if (!line.isValid())
        return s;
    s.runs = layout.glyphRuns();
    s.height = line.height();
    s.width = line.naturalTextWidth();
    return s;
}

} // namespace

void CDataListDelegate::Prepare(const QFont& font) const
{
    m_bPrepared = true;
    m_font = FontGlyphs();
    m_font.font = font;
    m_shaped.clear();
    m_shapedWidth.clear();

    // Every ordered pair of the characters, shaped as one text: where the font places each glyph
    // right after the one before by its own advance, with no pair moved closer or apart, a text
    // of them is its glyphs side by side.
    const QString chars = QString::fromLatin1(kComposable);
    QString probe;
    for (QChar a : chars) {
        for (QChar b : chars)
            probe.append(a).append(b);
    }
    const Shaped s = Shape(probe, font);
    if (s.runs.size() != 1)
        return;
    const QGlyphRun& run = s.runs.front();
    const QList<quint32> ids = run.glyphIndexes();
    const QList<QPointF> at = run.positions();
    if (ids.size() != probe.size() || at.size() != probe.size())
        return;
    FontGlyphs f;
    f.font = font;
    f.raw = run.rawFont();
    f.height = s.height;
    f.ascent = at.front().y();
    for (qsizetype i = 0; i < probe.size(); ++i) {
        const int c = probe.at(i).unicode();
        const qreal advance = (i + 1 < probe.size() ? at[i + 1].x() : s.width) - at[i].x();
        if (ids[i] == 0 || at[i].y() != f.ascent)
            return;
        if (f.glyph[c] == 0) {
            f.glyph[c] = ids[i];
            f.advance[c] = advance;
        } else if (f.glyph[c] != ids[i] || f.advance[c] != advance) {
            return;
        }
    }
    m_font = f;
}

bool CDataListDelegate::Glyphs(const QString& text, QGlyphRun& run, qreal& width) const
{
    if (m_font.glyph[int('0')] != 0) {
        m_runGlyphs.resize(text.size());
        m_runPositions.resize(text.size());
        qreal x = 0;
        qsizetype i = 0;
        for (; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (c >= 128 || m_font.glyph[c] == 0)
                break;
            m_runGlyphs[i] = m_font.glyph[c];
            m_runPositions[i] = QPointF(x, m_font.ascent);
            x += m_font.advance[c];
        }
        if (i == text.size()) {
            run.setRawFont(m_font.raw);
            run.setGlyphIndexes(m_runGlyphs);
            run.setPositions(m_runPositions);
            width = x;
            return true;
        }
    }
    // Units and functions recur row after row: shaped once while they do.
    const auto it = m_shaped.constFind(text);
    if (it != m_shaped.constEnd()) {
        run = *it;
        width = m_shapedWidth.value(text);
        return true;
    }
    const Shaped s = Shape(text, m_font.font);
    // Several fonts in one text, or a line of another height than the digits': the stock path.
    if (s.runs.size() != 1 || m_font.glyph[int('0')] == 0 || s.height != m_font.height)
        return false;
    if (m_shaped.size() >= 256) {
        m_shaped.clear();
        m_shapedWidth.clear();
    }
    run = s.runs.front();
    width = s.width;
    m_shaped.insert(text, run);
    m_shapedWidth.insert(text, width);
    return true;
}

void CDataListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (!m_bPrepared || !(option.font == m_font.font))
        Prepare(option.font);
    const QString text = index.data(Qt::DisplayRole).toString();
    // The stock delegate also draws the selection's highlight and the focus frame.
    if (option.state & (QStyle::State_Selected | QStyle::State_HasFocus)) {
        ++m_nStock;
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    if (text.isEmpty())
        return;
    const QWidget* widget = option.widget;
    const QStyle* style = widget ? widget->style() : nullptr;
    const int margin = (style ? style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) : 2) + 1;
    const QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
    QGlyphRun run;
    qreal width = 0;
    if (!Glyphs(text, run, width) || width > textRect.width()) {
        ++m_nStock;
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !(option.state & QStyle::State_Active))
        group = QPalette::Inactive;
    const QPen pen = painter->pen();
    painter->setPen(option.palette.color(group, QPalette::Text));
    // Left and centred in the row as the stock delegate lays the line out.
    const QPointF origin(textRect.left(), textRect.top() + std::floor((textRect.height() - m_font.height) / 2));
    painter->drawGlyphRun(origin, run);
    painter->setPen(pen);
}
