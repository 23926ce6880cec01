#pragma once
// Draws the cells of the data list. The table repaints a whole page of cells whenever the list
// moves by more than it can scroll, and the stock delegate lays every cell's text out twice (once
// to find whether it needs eliding, once to draw it) through the style: a page of a maximised
// window cost milliseconds. A plain cell here is its text's glyphs drawn at the place the stock
// delegate draws them: the glyphs of digits and the punctuation of times and values are looked
// up once per font and placed side by side (only where the font's own shaping places them so,
// checked once), other texts are shaped once and kept while they recur (units, functions). A
// cell that is selected, has the focus or needs eliding is drawn by the stock delegate, so those
// look exactly as before.
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QStyledItemDelegate>

class CDataListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Cells drawn by the stock delegate since the list was made (selection, focus, eliding).
    int StockCells() const { return m_nStock; }

private:
    // What a font needs for plain cells; rebuilt when the table's font changes.
    struct FontGlyphs {
        QFont font;
        QRawFont raw;
        qreal ascent = 0, height = 0;
        // Glyph and advance of the characters that may be placed side by side (0 glyph: not).
        quint32 glyph[128] = {};
        qreal advance[128] = {};
    };
    void Prepare(const QFont& font) const;
    // The glyphs of `text` with their places on the baseline from x 0; false where the text
    // has to go through the stock delegate's path.
    bool Glyphs(const QString& text, QGlyphRun& run, qreal& width) const;

    mutable FontGlyphs m_font;
    mutable bool m_bPrepared = false;
    mutable QHash<QString, QGlyphRun> m_shaped; // texts shaped as a whole
    mutable QHash<QString, qreal> m_shapedWidth;
    mutable QList<quint32> m_runGlyphs;
    mutable QList<QPointF> m_runPositions;
    mutable int m_nStock = 0;
};
