#include "platform/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace msgbox {

static Handler& handler()
{
    static Handler h;
    return h;
}

void SetHandler(Handler h) { handler() = std::move(h); }

QString DefaultCaption() { return QStringLiteral("Multimeter"); }

Button Show(QWidget* parent, const QString& text, const QString& caption, Icon icon, int buttons)
{
    Request req { caption.isEmpty() ? DefaultCaption() : caption, text, icon, buttons };
    if (handler())
        return handler()(req);

    QMessageBox box(parent);
    box.setWindowTitle(req.caption);
    box.setText(text);
    switch (icon) {
    case Information: box.setIcon(QMessageBox::Information); break;
    case Warning: box.setIcon(QMessageBox::Warning); break;
    case Critical: box.setIcon(QMessageBox::Critical); break;
    case Question: box.setIcon(QMessageBox::Question); break;
    case NoIcon: break;
    }
    QMessageBox::StandardButtons std;
    if (buttons & Ok) std |= QMessageBox::Ok;
    if (buttons & Cancel) std |= QMessageBox::Cancel;
    if (buttons & Yes) std |= QMessageBox::Yes;
    if (buttons & No) std |= QMessageBox::No;
    box.setStandardButtons(std);
    switch (box.exec()) {
    case QMessageBox::Cancel: return Cancel;
    case QMessageBox::Yes: return Yes;
    case QMessageBox::No: return No;
    default: return Ok;
    }
}

} // namespace msgbox
