// SPDX-License-Identifier: MIT
#pragma once
// The decoders of HEIC, AVIF and JPEG XL pictures, and of opaque WebP stills by rows, which
// live in a module of their own (pictavo-codecs.so, from src/codecs/) loaded at the first
// picture that may be of those types: libheif, libjxl and libwebp with their codec libraries
// are a score of shared libraries that would otherwise be loaded, and partly set up, at
// every start of the program.
// A binary that links the codecs part itself (the tests, the benchmark, the fuzz targets)
// uses it directly.

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <cstdint>
#include <functional>

#include "imaging/picture_reader.h"

namespace pictavo {

// What the module gives; see heif_picture.h and jxl_picture.h for each.
struct LibraryCodecs {
    int version;  // kLibraryCodecsVersion of the module's build
    bool (*isHeif)(const QByteArray& bytes);
    QSize (*heifSize)(const QByteArray& bytes);
    QImage (*decodeHeif)(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory);
    QByteArray (*heifProfile)(const QByteArray& bytes);
    bool (*isJxl)(const QByteArray& bytes);
    QSize (*jxlSize)(const QByteArray& bytes);
    QImage (*decodeJxl)(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory);
    QByteArray (*jxlProfile)(const QByteArray& bytes);
    // See webp_picture.h.
    QSize (*webpOpaqueSize)(const QByteArray& bytes);
    bool (*decodeWebpRows)(const QByteArray& bytes, uchar* bits, qsizetype bytesPerLine,
                           const std::function<bool(int rows)>& ready);
    QByteArray (*webpProfile)(const QByteArray& bytes);
};
inline constexpr int kLibraryCodecsVersion = 2;

// Whether the bytes may be a HEIF (an ISO box file: "ftyp" at 4) or JPEG XL picture (its
// codestream's or container's signature): the module is asked only then.
[[nodiscard]] bool mayBeLibraryPicture(const QByteArray& bytes);

// The module, loaded on the first call; null (with a warning once) when it is missing or
// of another build, and then such pictures are of an unknown type.
[[nodiscard]] const LibraryCodecs* libraryCodecs();

}  // namespace pictavo
