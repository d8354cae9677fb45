// SPDX-License-Identifier: MIT
#include "support/encoded_pictures.h"

#include <jxl/encode.h>
#include <libheif/heif.h>

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <QTransform>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace pictavo::test {

namespace {

heif_error appendTo(heif_context*, const void* data, size_t size, void* out) {
    static_cast<QByteArray*>(out)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

void putBigEndian32(QByteArray& b, qsizetype at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (24 - 8 * i));
}

QByteArray littleEndian(std::uint32_t v, int bytes) {
    QByteArray out;
    for (int i = 0; i < bytes; ++i) out.append(char(v >> (8 * i)));
    return out;
}

// The picture's rows as interleaved 8-bit R, G, B, and A when it has alpha. A premultiplied
// picture gives its own bytes, even a colour that stands past its alpha.
QByteArray interleaved(const QImage& image) {
    const bool alpha = image.hasAlphaChannel();
    const QImage stored = image.format() == QImage::Format_ARGB32_Premultiplied
                              ? image
                              : image.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QByteArray bytes;
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x) {
            const QRgb p = reinterpret_cast<const QRgb*>(stored.constScanLine(y))[x];
            bytes.append(char(qRed(p))).append(char(qGreen(p))).append(char(qBlue(p)));
            if (alpha) bytes.append(char(qAlpha(p)));
        }
    return bytes;
}

}  // namespace

// 32 x 16 pixels: eight blocks of 8 x 8 in colours far apart, so that a lossy decode, a
// wrong turn or swapped channels all show at the blocks' centres.
QImage pattern() {
    static const QRgb colours[] = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x000000, 0xffff00, 0x00ffff, 0xff00ff};
    QImage image(32, 16, QImage::Format_RGB32);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) image.setPixel(x, y, colours[(y / 8) * 4 + x / 8]);
    return image;
}

QByteArray qtEncoded(const QImage& image, const char* format, int quality, int orientation) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (orientation == kTurnedRight) writer.setTransformation(QImageIOHandler::TransformationRotate90);
    if (!writer.write(image)) throw std::runtime_error(writer.errorString().toStdString());
    return bytes;
}

QByteArray heifEncoded(const QImage& image, bool av1, int orientation) {
    const bool alpha = image.hasAlphaChannel();
    heif_image* picture = nullptr;
    heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &picture);
    heif_image_add_plane(picture, heif_channel_interleaved, image.width(), image.height(), 8);
    heif_image_set_premultiplied_alpha(picture, image.format() == QImage::Format_ARGB32_Premultiplied);
    int stride = 0;
    std::uint8_t* rows = heif_image_get_plane(picture, heif_channel_interleaved, &stride);
    const QByteArray pixels = interleaved(image);
    const qsizetype row = pixels.size() / image.height();
    for (int y = 0; y < image.height(); ++y) std::memcpy(rows + y * stride, pixels.constData() + y * row, size_t(row));
    if (const QByteArray icc = image.colorSpace().iccProfile(); !icc.isEmpty())
        heif_image_set_raw_color_profile(picture, "prof", icc.constData(), size_t(icc.size()));
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, av1 ? heif_compression_AV1 : heif_compression_HEVC, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    if (alpha) heif_encoder_set_lossless(encoder, 1);  // colours at each alpha compared closely
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    const heif_error encoded = heif_context_encode_image(context, picture, encoder, options, nullptr);
    if (encoded.code != heif_error_Ok) throw std::runtime_error(encoded.message);
    QByteArray bytes;
    heif_writer writer{1, appendTo};
    heif_context_write(context, &writer, &bytes);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    heif_image_release(picture);
    return bytes;
}

QByteArray jxlEncoded(const QImage& image, bool lossless, int orientation, bool container) {
    JxlEncoder* encoder = JxlEncoderCreate(nullptr);
    JxlEncoderUseContainer(encoder, container);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = std::uint32_t(image.width()), info.ysize = std::uint32_t(image.height());
    info.bits_per_sample = 8, info.num_color_channels = 3;
    const bool alpha = image.hasAlphaChannel();
    if (alpha) info.alpha_bits = 8, info.num_extra_channels = 1;
    info.orientation = JxlOrientation(orientation);
    info.uses_original_profile = lossless;
    JxlEncoderSetBasicInfo(encoder, &info);
    if (const QByteArray icc = image.colorSpace().iccProfile(); !icc.isEmpty()) {
        JxlEncoderSetICCProfile(encoder, reinterpret_cast<const std::uint8_t*>(icc.constData()), size_t(icc.size()));
    } else {
        JxlColorEncoding srgb;
        JxlColorEncodingSetToSRGB(&srgb, false);
        JxlEncoderSetColorEncoding(encoder, &srgb);
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder, nullptr);
    JxlEncoderSetFrameLossless(settings, lossless);
    if (!lossless) JxlEncoderSetFrameDistance(settings, 0.5f);  // close enough to compare block colours
    // Straight alpha: libjxl 0.7's encoder cannot mark a frame premultiplied.
    const QByteArray packed = interleaved(alpha ? image.convertToFormat(QImage::Format_ARGB32) : image);
    const JxlPixelFormat format{alpha ? 4u : 3u, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    if (JxlEncoderAddImageFrame(settings, &format, packed.constData(), size_t(packed.size())) != JXL_ENC_SUCCESS)
        throw std::runtime_error("libjxl refused the frame");
    JxlEncoderCloseInput(encoder);
    QByteArray bytes(4096, '\0');
    auto* next = reinterpret_cast<std::uint8_t*>(bytes.data());
    size_t room = size_t(bytes.size());
    if (JxlEncoderProcessOutput(encoder, &next, &room) != JXL_ENC_SUCCESS)
        throw std::runtime_error("libjxl could not encode");
    bytes.resize(bytes.size() - qsizetype(room));
    JxlEncoderDestroy(encoder);
    return bytes;
}

QImage shownAs(const QImage& stored, int orientation) {
    return orientation == kTurnedRight ? stored.transformed(QTransform().rotate(90)) : stored;
}

QByteArray libjpegEncoded(const std::function<void(jpeg_compress_struct&)>& setUp,
                          const std::function<void(jpeg_compress_struct&)>& write) {
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    setUp(c);
    jpeg_start_compress(&c, TRUE);
    write(c);
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray pngClaiming(QByteArray png, std::uint32_t width, std::uint32_t height) {
    putBigEndian32(png, 16, width);
    putBigEndian32(png, 20, height);
    std::uint32_t crc = 0xFFFFFFFF;  // the header chunk's CRC-32, over its type and data
    for (int i = 12; i < 29; ++i) {
        crc ^= static_cast<unsigned char>(png[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    putBigEndian32(png, 29, ~crc);
    return png;
}

QByteArray webpClaiming(QByteArray webp, std::uint32_t width, std::uint32_t height) {
    // An extended-format chunk ahead of the picture's own, whose canvas is what readers report.
    const QByteArray vp8x =
        "VP8X" + littleEndian(10, 4) + QByteArray(4, '\0') + littleEndian(width - 1, 3) + littleEndian(height - 1, 3);
    webp.insert(12, vp8x);
    webp.replace(4, 4, littleEndian(std::uint32_t(webp.size() - 8), 4));
    return webp;
}

QByteArray tiffClaiming(QByteArray tiff, std::uint32_t width, std::uint32_t height) {
    if (!tiff.startsWith("II")) throw std::runtime_error("not a little-endian TIFF");
    const auto le = [&](qsizetype at, int n) {
        std::uint32_t v = 0;
        for (int i = n - 1; i >= 0; --i) v = v << 8 | std::uint8_t(tiff[at + i]);
        return v;
    };
    const qsizetype ifd = le(4, 4);
    for (std::uint32_t i = 0, n = le(ifd, 2); i < n; ++i) {
        const qsizetype entry = ifd + 2 + 12 * qsizetype(i);
        const std::uint32_t tag = le(entry, 2);
        if (tag != 256 && tag != 257) continue;  // ImageWidth, ImageLength
        tiff.replace(entry + 2, 10,
                     littleEndian(4, 2) + littleEndian(1, 4) + littleEndian(tag == 256 ? width : height, 4));
    }
    return tiff;
}

QByteArray heifClaiming(QByteArray heif, std::uint32_t width, std::uint32_t height) {
    // Every image's spatial extent: the encoder writes one for each item it stores.
    qsizetype ispe = heif.indexOf("ispe");
    if (ispe < 0) throw std::runtime_error("no ispe box");
    for (; ispe >= 0; ispe = heif.indexOf("ispe", ispe + 16)) {
        putBigEndian32(heif, ispe + 8, width);
        putBigEndian32(heif, ispe + 12, height);
    }
    return heif;
}

QByteArray jxlClaiming(std::uint32_t width, std::uint32_t height) {
    // A bare codestream: its signature, a size header of 18-bit sizes, then default
    // metadata; bits are taken from the low end of each byte first.
    std::uint64_t bits = 0;
    int used = 0;
    const auto put = [&](std::uint64_t value, int count) {
        bits |= value << used;
        used += count;
    };
    put(0, 1);                       // not a small size
    put(2, 2), put(height - 1, 18);  // the height
    put(0, 3);                       // no fixed ratio: the width follows
    put(2, 2), put(width - 1, 18);   // the width
    put(1, 1);                       // all metadata default
    QByteArray out("\xff\x0a", 2);
    out.append(littleEndian(std::uint32_t(bits), 4));
    out.append(littleEndian(std::uint32_t(bits >> 32), 4));
    out.append(QByteArray(64, '\0'));
    return out;
}

}  // namespace pictavo::test
