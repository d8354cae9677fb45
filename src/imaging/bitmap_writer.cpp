// SPDX-License-Identifier: MIT
#include "imaging/bitmap_writer.h"

#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/colour_transforms.h"

namespace pictavo {

namespace {

// Writes all of a buffer; 0 or the error number.
int writeAll(int fd, const char* p, std::size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return 0;
}

void putLE(char* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<char>(value >> (8 * i) & 0xFF);
}

}  // namespace

int writeBitmap(int fd, const QImage& image, const ColourConversion* colours) {
    const auto width = static_cast<std::uint64_t>(image.width());
    const auto height = static_cast<std::uint64_t>(image.height());
    const std::uint64_t rowBytes = (width * 3 + 3) / 4 * 4;
    const std::uint64_t pixelBytes = rowBytes * height;
    constexpr std::uint32_t kHeaderBytes = 14 + 40;
    if (pixelBytes + kHeaderBytes > 0xFFFFFFFFu) return EFBIG;

    char header[kHeaderBytes] = {'B', 'M'};
    putLE(header + 2, static_cast<std::uint32_t>(pixelBytes + kHeaderBytes), 4);
    putLE(header + 10, kHeaderBytes, 4);
    putLE(header + 14, 40, 4);
    putLE(header + 18, static_cast<std::uint32_t>(width), 4);
    putLE(header + 22, static_cast<std::uint32_t>(height), 4);  // positive: bottom-up
    putLE(header + 26, 1, 2);                                   // planes
    putLE(header + 28, 24, 2);                                  // bits per pixel
    putLE(header + 34, static_cast<std::uint32_t>(pixelBytes), 4);
    putLE(header + 38, static_cast<std::uint32_t>(std::max(0, image.dotsPerMeterX())), 4);
    putLE(header + 42, static_cast<std::uint32_t>(std::max(0, image.dotsPerMeterY())), 4);
    if (const int err = writeAll(fd, header, sizeof header)) return err;

    // Colours without premultiplication, whatever the picture's own format; a row is
    // converted on its own when the picture is not already 32-bit.
    const bool alpha = image.hasAlphaChannel();
    const QImage::Format plain = alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    const bool direct = image.format() == plain || (!alpha && image.format() == QImage::Format_ARGB32);
    const std::size_t rowsPerWrite = std::max<std::size_t>(1, (1u << 20) / rowBytes);
    std::vector<char> buffer(rowsPerWrite * rowBytes, 0);
    std::vector<QRgb> colourRow(colours && direct ? width : 0);
    std::size_t filled = 0;
    for (std::uint64_t y = height; y-- > 0;) {
        const auto row = static_cast<int>(y);
        QImage converted;
        const QRgb* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        if (!direct) {
            converted = QImage(image.constScanLine(row), image.width(), 1, image.bytesPerLine(), image.format());
            if (image.format() == QImage::Format_Indexed8 || image.format() == QImage::Format_Mono ||
                image.format() == QImage::Format_MonoLSB)
                converted.setColorTable(image.colorTable());
            converted = converted.convertToFormat(plain);
            if (colours) colours->convertRows(converted.bits(), converted.bytesPerLine(), converted.width(), 1, plain);
            pixels = reinterpret_cast<const QRgb*>(converted.constScanLine(0));
        } else if (colours) {
            std::memcpy(colourRow.data(), pixels, width * 4);
            colours->convertRows(reinterpret_cast<uchar*>(colourRow.data()), width * 4, image.width(), 1, plain);
            pixels = colourRow.data();
        }
        char* out = buffer.data() + filled;
        std::uint64_t x = 0;
        if constexpr (std::endian::native == std::endian::little) {
            // A 32-bit pixel lies in memory as blue, green, red, alpha: copy all four
            // bytes and let the next pixel's blue overwrite the alpha.
            for (; x + 1 < width; ++x) std::memcpy(out + 3 * x, pixels + x, 4);
        }
        for (; x < width; ++x) {
            out[3 * x] = static_cast<char>(qBlue(pixels[x]));
            out[3 * x + 1] = static_cast<char>(qGreen(pixels[x]));
            out[3 * x + 2] = static_cast<char>(qRed(pixels[x]));
        }
        std::memset(out + 3 * width, 0, rowBytes - 3 * width);  // row padding
        filled += rowBytes;
        if (filled == buffer.size() || y == 0) {
            if (const int err = writeAll(fd, buffer.data(), filled)) return err;
            filled = 0;
        }
    }
    return 0;
}

}  // namespace pictavo
