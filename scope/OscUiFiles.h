#pragma once
// The oscilloscope windows' file dialogs, the hand-over of a file to the application registered
// for it. Tests replace the dialog and the hand-over.

#include <QString>
#include <functional>

class QWidget;

namespace osc_files {

enum Kind { Open, Save };
using Asker = std::function<QString(Kind kind, const QString& proposed, const QString& filter)>;
using Opener = std::function<bool(const QString& path)>;

// The file dialog (or the installed asker); empty when cancelled.
QString Ask(QWidget* parent, Kind kind, const QString& caption, const QString& proposed, const QString& filter);
// Opens the file with the user's registered application; false when none took it.
bool OpenWithDefaultApp(const QString& path);

void SetAskerForTesting(Asker asker);
void SetOpenerForTesting(Opener opener);

} // namespace osc_files
