#pragma once
// Every message box of the program goes through here, so that tests can answer them without a
// person: install a handler and it is asked instead of showing a window.
#include <QString>
#include <functional>

class QWidget;

namespace msgbox {

enum Icon { NoIcon = 0, Information, Warning, Critical, Question };
// Buttons (combinable) and the answers Show returns.
enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

struct Request {
    QString caption;
    QString text;
    Icon icon = Information;
    int buttons = Ok;
};

using Handler = std::function<Button(const Request&)>;

// Shows a modal message box (or asks the installed handler) and returns the button chosen.
Button Show(QWidget* parent, const QString& text, const QString& caption = QString(), Icon icon = Information,
    int buttons = Ok);

// Installs a handler in place of real boxes; an empty handler restores them.
void SetHandler(Handler handler);

// The caption used when none is given: the application's title.
QString DefaultCaption();

} // namespace msgbox
