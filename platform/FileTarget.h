#pragma once
// What may be opened or replaced as a document file. Saving goes through a temporary file that
// replaces the target when complete: done to a device node or a FIFO that would put a regular
// file in its place, so such a target is refused. Opening a FIFO would wait for a writer for
// ever, so a path is checked before it is opened.
#include <QString>

namespace filetarget {

// Why a save must not replace what is at path; empty when nothing is there or it is a regular
// file (a symbolic link counts as what it points to).
QString WhyNotSaveTarget(const QString& path);

// Why path cannot be read as a document file; empty when it is a regular file or does not
// exist (opening it then says so).
QString WhyNotReadable(const QString& path);

} // namespace filetarget
