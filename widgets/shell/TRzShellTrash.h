#pragma once

#include <QByteArray>
#include <QString>

// Moves a file-system item, named by its path bytes, into the desktop's
// trash; false with *error set to the reason when it is not in the trash.
bool TRzMoveToTrash(const QByteArray &path, QString *error);
