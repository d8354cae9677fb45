// SPDX-License-Identifier: MIT
#pragma once
// Pictures of every type a person may be given, made by the types' own encoders (Qt's
// PNG, WebP and TIFF writers, libheif, libjxl, libjpeg), and the same files made to lie
// about their size.

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <cstdio>  // jpeglib.h uses FILE without including it
#include <functional>

#include <jpeglib.h>

namespace pictavo::test {

// 32 x 16 pixels: eight blocks of 8 x 8 in colours far apart, so that a lossy decode, a
// wrong turn or swapped channels all show at the blocks' centres.
QImage pattern();

// EXIF orientations: as stored, and turned a quarter to the right when shown.
inline constexpr int kUpright = 1, kTurnedRight = 6;
QImage shownAs(const QImage& stored, int orientation);

// Through Qt's writer of `format` ("png", "webp", "tiff"); WebP at quality 100 is lossless.
QByteArray qtEncoded(const QImage& image, const char* format, int quality, int orientation = kUpright);
// A picture with alpha is written with it (losslessly through libheif), and through libheif a
// Format_ARGB32_Premultiplied one with its colours stored premultiplied, as the file then says.
// HEIC (HEVC), or AVIF (AV1), through libheif.
QByteArray heifEncoded(const QImage& image, bool av1, int orientation = kUpright);
// JPEG XL through libjxl, as a bare codestream or in its container.
QByteArray jxlEncoded(const QImage& image, bool lossless, int orientation = kUpright, bool container = false);

// Through libjpeg's own compressor, into memory: `setUp` chooses the size, the input and
// the rest of the settings (jpeg_set_defaults() included), `write` the markers and every
// row once the compressor started.
QByteArray libjpegEncoded(const std::function<void(jpeg_compress_struct&)>& setUp,
                          const std::function<void(jpeg_compress_struct&)>& write);

// The file with its header made to claim `width` x `height`.
QByteArray pngClaiming(QByteArray png, std::uint32_t width, std::uint32_t height);
QByteArray webpClaiming(QByteArray webp, std::uint32_t width, std::uint32_t height);
QByteArray tiffClaiming(QByteArray tiff, std::uint32_t width, std::uint32_t height);
QByteArray heifClaiming(QByteArray heif, std::uint32_t width, std::uint32_t height);
// A JPEG XL header alone, claiming the size.
QByteArray jxlClaiming(std::uint32_t width, std::uint32_t height);

}  // namespace pictavo::test
