#pragma once
// Where Help finds the user guide: the folder with its screenshots when one is installed beside
// the program (or built beside it in the build tree), otherwise the text built into the program.
#include <QString>
#include <QUrl>

namespace user_guide {
// The guide's start page for a program in programDir.
QUrl Location(const QString& programDir);
} // namespace user_guide
