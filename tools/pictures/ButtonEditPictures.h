#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

// The button edit's built-in pictures: a normal and a disabled image of
// 10 x 10 logical pixels side by side. The ordinary form is pixel art kept
// as rows; the double-resolution form is drawn from shapes.

// The pictures' names, as their files are called ("accept", "calendar"...).
QList<QByteArray> ButtonEditPictureNames();

// The ordinary form (20 x 10) as the text of an XPM file.
QByteArray ButtonEditXpm(const QByteArray &name);

// The double-resolution form: 40 x 20 pixels, device pixel ratio 2.
QImage DrawButtonEditPicture(const QByteArray &name);
