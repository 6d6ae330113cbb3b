#pragma once

#include <QByteArray>
#include <QImage>

// Decodes a baseline or progressive JPEG with libjpeg. Grayscale files give
// a Format_Grayscale8 image, colour files a Format_RGB888 image. Data that is
// empty, truncated, damaged in any way libjpeg notices, in another colour
// model (CMYK), or too large to hold, gives a null image; the process always
// goes on.
QImage LoadJpegImage(const QByteArray &data);
