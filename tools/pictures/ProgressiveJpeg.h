#pragma once

#include <QByteArray>
#include <QImage>

// The bytes of a progressive JPEG of an opaque picture, written with libjpeg
// at the given quality, without chroma subsampling so the small coloured
// details of a drawing stay sharp.
QByteArray EncodeProgressiveJpeg(const QImage &image, int quality);
