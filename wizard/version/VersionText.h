#pragma once

#include <QChar>
#include <QString>

// The short version form the About box shows ("4.0.0.0" gives "4.00"): the
// major number, a dot, and the minor number padded to at least two digits.
// The third and further numbers are dropped. A text with one dot has no
// third number to drop ("4.1" gives "4.01"); a text without any dot is not a
// version number ("Value Not Available", "") and is returned as it is.
QString FormatVersion(const QString &version);

// The text with fill characters put in front until it is minimumLength
// characters long; a text that is long enough is returned unchanged.
QString PadLeft(const QString &text, qsizetype minimumLength, QChar fill);
