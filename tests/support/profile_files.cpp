// SPDX-License-Identifier: MIT
#include "support/profile_files.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <vector>
// clang-format off: jpeglib.h needs FILE and size_t declared first
#include <jpeglib.h>
// clang-format on

namespace pictavo::test {

namespace {

void putLE(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i) b[at + i] = char(v >> (8 * i) & 0xFF);
}

QByteArray pngChunk(const char* type, const QByteArray& data) {
    QByteArray c(4, '\0');
    for (int i = 0; i < 4; ++i) c[i] = char(data.size() >> (8 * (3 - i)) & 0xFF);
    c += QByteArray(type, 4) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(c.constData() + 4), static_cast<uInt>(c.size() - 4));
    for (int i = 0; i < 4; ++i) c += char(crc >> (8 * (3 - i)) & 0xFF);
    return c;
}

}  // namespace

// A 16 x 8 JPEG with `profile` written by libjpeg in as many APP2 chunks as it needs.
QByteArray jpegWithProfile(const QByteArray& profile, JpegColours colours) {
    const J_COLOR_SPACE space = colours == JpegColours::Grey   ? JCS_GRAYSCALE
                                : colours == JpegColours::Cmyk ? JCS_CMYK
                                                               : JCS_RGB;
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = 16;
    info.image_height = 8;
    info.in_color_space = space;
    info.input_components = space == JCS_GRAYSCALE ? 1 : space == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    if (!profile.isEmpty())
        jpeg_write_icc_profile(&info, reinterpret_cast<const JOCTET*>(profile.constData()),
                               static_cast<unsigned int>(profile.size()));
    std::vector<unsigned char> row(16 * 4, 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return bytes;
}

// A 2 x 2 bitmap with a V5 header of the colour space given, the profile after the pixels.
QByteArray bmpV5(const QByteArray& profile, const char* space, quint32 offsetPastPixels) {
    QByteArray b(14 + 124 + 16, '\0');
    b[0] = 'B';
    b[1] = 'M';
    putLE(b, 10, 14 + 124);
    putLE(b, 14, 124);
    putLE(b, 18, 2);
    putLE(b, 22, 2);
    b[26] = 1;
    b[28] = 24;
    b.replace(14 + 56, 4, space, 4);
    putLE(b, 14 + 112, 124 + 16 + offsetPastPixels);
    putLE(b, 14 + 116, static_cast<quint32>(profile.size()));
    b += profile;
    putLE(b, 2, static_cast<quint32>(b.size()));
    return b;
}

// A one-pixel GIF with the profile in the ICCRGBG1 extension's sub-blocks.
QByteArray gifWithProfile(const QByteArray& profile) {
    QByteArray b("GIF89a\x01\x00\x01\x00\x80\x00\x00", 13);
    b += QByteArray(6, '\x7F');  // two colours
    b += QByteArray("\x21\xFF\x0BICCRGBG1012", 14);
    for (qsizetype i = 0; i < profile.size(); i += 255) {
        const QByteArray block = profile.mid(i, 255);
        b += char(block.size());
        b += block;
    }
    b += '\0';
    b += QByteArray("\x2C\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0\x3B", 16);
    return b;
}

// A PNG's header, an iCCP chunk of `profile` compressed with zlib, and (empty) picture data.
QByteArray pngWithProfile(const QByteArray& profile, int colourType) {
    QByteArray header("\0\0\0\x10\0\0\0\x10\x08\0\0\0\0", 13);
    header[9] = char(colourType);
    uLongf packedSize = compressBound(static_cast<uLong>(profile.size()));
    QByteArray packed(static_cast<qsizetype>(packedSize), '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, reinterpret_cast<const Bytef*>(profile.constData()),
             static_cast<uLong>(profile.size()));
    packed.truncate(static_cast<qsizetype>(packedSize));
    return QByteArray("\x89PNG\r\n\x1A\n") + pngChunk("IHDR", header) +
           pngChunk("iCCP", QByteArray("Photo\0\0", 7) + packed) + pngChunk("IDAT", QByteArray(4, '\0')) +
           pngChunk("IEND", {});
}

}  // namespace pictavo::test
