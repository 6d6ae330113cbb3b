#include "ProgressiveJpeg.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

QByteArray EncodeJpeg(const QImage &image, const JpegSettings &settings)
{
    const bool grey = !settings.Cmyk && image.format() == QImage::Format_Grayscale8;
    const QImage source = grey            ? image
                          : settings.Cmyk ? image.convertToFormat(QImage::Format_RGBA8888)
                                          : image.convertToFormat(QImage::Format_RGB888);

    // libjpeg's standard error handler prints the message and ends the
    // process: the callers are a generator and tests, which should stop
    // there when encoding fails.
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);

    unsigned char *buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);

    info.image_width = JDIMENSION(source.width());
    info.image_height = JDIMENSION(source.height());
    info.input_components = grey ? 1 : settings.Cmyk ? 4 : 3;
    info.in_color_space = grey ? JCS_GRAYSCALE : settings.Cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, settings.Quality, TRUE);
    if (settings.FullChroma) {
        for (int c = 0; c < info.num_components; ++c) {
            info.comp_info[c].h_samp_factor = 1;
            info.comp_info[c].v_samp_factor = 1;
        }
    }
    if (settings.OptimizeCoding)
        info.optimize_coding = TRUE;
    if (settings.Progressive)
        jpeg_simple_progression(&info);

    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        // libjpeg takes non-const rows although it only reads them.
        JSAMPROW row = const_cast<JSAMPROW>(source.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);

    QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(size));
    std::free(buffer);
    return bytes;
}

QByteArray EncodeProgressiveJpeg(const QImage &image, int quality)
{
    JpegSettings settings;
    settings.Quality = quality;
    settings.Progressive = true;
    settings.FullChroma = true;
    settings.OptimizeCoding = true;
    return EncodeJpeg(image.convertToFormat(QImage::Format_RGB888), settings);
}
