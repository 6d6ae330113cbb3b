#pragma once

#include <QString>

namespace CommandLineMove {

// The one-line progress display on a terminal, for phase ("Copying",
// "Checking"): files done of all, bytes done of the total, the average rate
// and the time left. Without bytes (totalBytes < 0) only the files; in the
// first half second no rate and no time left. A wrapped line cannot be
// redrawn, so the line fits in width characters: shorter forms are tried in
// turn, and the shortest is cut only when none fits. No limit when width < 1.
QString ProgressLine(const QString &phase, int filesDone, int files, qint64 bytesDone,
                     qint64 totalBytes, qint64 elapsedMs, int width);

} // namespace CommandLineMove
