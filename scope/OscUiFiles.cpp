#include "scope/OscUiFiles.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QPainter>
#include <QUrl>

namespace osc_files {

namespace {
Asker& asker()
{
    static Asker a;
    return a;
}
Opener& opener()
{
    static Opener o;
    return o;
}
} // namespace

void SetAskerForTesting(Asker a) { asker() = std::move(a); }
void SetOpenerForTesting(Opener o) { opener() = std::move(o); }

QString Ask(QWidget* parent, Kind kind, const QString& caption, const QString& proposed, const QString& filter)
{
    if (asker())
        return asker()(kind, proposed, filter);
    QFileDialog dlg(parent, caption, proposed, filter);
    dlg.setAcceptMode(kind == Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    dlg.setFileMode(kind == Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const int dot = proposed.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        dlg.setDefaultSuffix(proposed.mid(dot + 1));
    if (dlg.exec() != QDialog::Accepted)
        return QString();
    return dlg.selectedFiles().value(0);
}

bool OpenWithDefaultApp(const QString& path)
{
    if (opener())
        return opener()(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DrawPage(QPainter& p, const PrintPage& page)
{
    const QFontMetrics fm(p.font(), p.device());
    int previousEnd = 0;
    for (const PrintText& t : page.texts) {
        const int w = fm.horizontalAdvance(t.text);
        int x = t.pos.x();
        switch (t.align) {
        case PrintText::TopCenter: x -= w / 2; break;
        case PrintText::TopRight: x -= w; break;
        case PrintText::AfterPrevious: x += previousEnd; break;
        case PrintText::TopLeft: break;
        }
        p.setPen(Qt::black);
        p.drawText(QPoint(x, t.pos.y() + fm.ascent()), t.text);
        previousEnd = x + w;
    }
    p.drawLines(page.rules);
}

} // namespace osc_files
