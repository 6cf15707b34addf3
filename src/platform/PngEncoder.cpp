#include "platform/PngEncoder.h"

#include "platform/Log.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace brelvo::png {

namespace {

void appendToBuffer(png_structp writer, png_bytep data, png_size_t length) {
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(writer));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void flushNothing(png_structp) {}

void onWarning(png_structp, png_const_charp) {}

// Kept out of the function that calls setjmp, so that no object with a
// destructor lives across the jump.
bool write(png_structp writer, png_infop info, const QImage& rgba, QByteArray* out) {
    std::vector<png_bytep> rows(static_cast<std::size_t>(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<png_bytep>(rgba.constScanLine(y));
    if (setjmp(png_jmpbuf(writer))) return false;
    png_set_write_fn(writer, out, &appendToBuffer, &flushNothing);
    png_set_IHDR(writer, info, static_cast<png_uint_32>(rgba.width()), static_cast<png_uint_32>(rgba.height()), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(writer, 1);
    png_set_filter(writer, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(writer, info);
    png_write_image(writer, rows.data());
    png_write_end(writer, info);
    return true;
}

}  // namespace

QByteArray encode(const QImage& image) {
    if (image.isNull()) return QByteArray();
    // PNG keeps straight (not premultiplied) alpha.
    const QImage rgba = image.format() == QImage::Format_RGBA8888 ? image : image.convertToFormat(QImage::Format_RGBA8888);
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, &onWarning);
    png_infop info = writer ? png_create_info_struct(writer) : nullptr;
    QByteArray out;
    out.reserve(static_cast<qsizetype>(rgba.sizeInBytes() / 4));
    const bool ok = info && write(writer, info, rgba, &out);
    png_destroy_write_struct(&writer, info ? &info : nullptr);
    if (!ok) {
        qCWarning(lcBrelvo) << "PNG encoding failed for an image of" << image.size();
        return QByteArray();
    }
    return out;
}

}  // namespace brelvo::png
