#include "scope/OscUiFiles.h"

#include <QDesktopServices>
#include <QFileDialog>
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

} // namespace osc_files
