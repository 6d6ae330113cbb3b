#include "wizard/window/JpegImage.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared before it
#include <jpeglib.h>

namespace {

// Larger pictures are refused before anything is allocated: a damaged header
// could otherwise claim a picture of several gigabytes.
constexpr quint64 kMaxPixels = quint64(1) << 26;
// libjpeg's own working memory (a progressive file keeps all its
// coefficients) is held to this; past it libjpeg fails instead of swapping.
constexpr long kMaxWorkingMemory = 512L * 1024 * 1024;

// libjpeg reports errors by calling error_exit, which must not return, and
// by default ends the process. This error manager jumps back into the
// decoder instead. Warnings (corrupt data, premature end of data) count as
// failures too: a picture that decodes with a warning is partly grey.
struct ErrorManager
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr info, int level)
{
    if (level < 0)
        OnError(info);
}

// Owns the decompress object for the whole decode, so that it is destroyed
// however decoding ends. A zero-filled object is safe to destroy even when
// its creation failed half-way.
class Decompressor
{
public:
    Decompressor()
    {
        info.err = jpeg_std_error(&errors.manager);
        errors.manager.error_exit = OnError;
        errors.manager.emit_message = OnMessage;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;

    jpeg_decompress_struct info{};
    ErrorManager errors{};
};

// Fills image from data; false when libjpeg reports any error or warning.
// longjmp lands in this function, so it holds no object with a destructor:
// everything that must be released lives in the caller's frame.
bool Decode(Decompressor &d, const QByteArray &data, QImage &image)
{
    jpeg_decompress_struct &info = d.info;
    if (setjmp(d.errors.jump) != 0)
        return false;

    jpeg_create_decompress(&info);
    info.mem->max_memory_to_use = kMaxWorkingMemory;
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(data.constData()),
                 static_cast<unsigned long>(data.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;

    QImage::Format format;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
        info.out_color_space = JCS_GRAYSCALE;
        format = QImage::Format_Grayscale8;
        break;
    case JCS_RGB:
    case JCS_YCbCr:
        info.out_color_space = JCS_RGB;
        format = QImage::Format_RGB888;
        break;
    default:
        return false;
    }
    if (quint64(info.image_width) * info.image_height > kMaxPixels)
        return false;

    jpeg_start_decompress(&info);
    if (info.output_components != (format == QImage::Format_Grayscale8 ? 1 : 3))
        return false;
    image = QImage(int(info.output_width), int(info.output_height), format);
    if (image.isNull())
        return false;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        if (jpeg_read_scanlines(&info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

QImage LoadJpegImage(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    Decompressor decompressor;
    QImage image;
    if (!Decode(decompressor, data, image))
        return {};
    return image;
}
