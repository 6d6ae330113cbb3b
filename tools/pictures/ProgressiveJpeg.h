#pragma once

#include <QByteArray>
#include <QImage>

// How EncodeJpeg writes a picture.
struct JpegSettings
{
    int Quality = 95;
    bool Progressive = false;
    // Every component at full resolution instead of libjpeg's halved
    // chroma, and Huffman tables made for the picture.
    bool FullChroma = false;
    bool OptimizeCoding = false;
    // Four components as CMYK: the four bytes of each pixel of the picture
    // in RGBA8888 order.
    bool Cmyk = false;
};

// The bytes of a JPEG of the picture, written with libjpeg: a Grayscale8
// picture as one component, any other as RGB (or CMYK when asked).
QByteArray EncodeJpeg(const QImage &image, const JpegSettings &settings);

// The bytes of a progressive JPEG of an opaque picture at the given quality,
// without chroma subsampling so the small coloured details of a drawing
// stay sharp.
QByteArray EncodeProgressiveJpeg(const QImage &image, int quality);
