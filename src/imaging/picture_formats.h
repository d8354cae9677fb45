// SPDX-License-Identifier: MIT
#pragma once
// The picture types decoded by their own libraries rather than Qt's readers: HEIF (HEIC,
// AVIF) through libheif and JPEG XL through libjxl. The picture reader asks here first.

#include <QByteArray>
#include <QImage>
#include <cstdint>

#include "imaging/picture_reader.h"

namespace pictavo {

// "heif" or "jxl" with the size the header gives, read without decoding; an empty format
// when the bytes are of neither type. HostError when they are, but the header is damaged
// or cut short.
[[nodiscard]] PictureKind libraryPictureKind(const QByteArray& bytes);

// Whether every whole header of the type tells the picture's size (PNG, WebP, TIFF, and
// the types read here): one that does not is damaged, or claims more than its reader takes.
[[nodiscard]] bool sizeInEveryHeader(const QByteArray& format);

// Decodes a picture libraryPictureKind named; see decodePicture.
[[nodiscard]] QImage decodeLibraryPicture(const PictureKind& kind, const QByteArray& bytes, std::int64_t limitBytes,
                                          const PictureMemory& memory);

// The ICC profile a picture file embeds, as its bytes, or empty when it has none; for
// converting its colours to the screen's. Qt's readers give it only with the decoded
// picture, so for their types (PNG, WebP, TIFF, JPEG) the picture is decoded once here.
[[nodiscard]] QByteArray pictureIccProfile(const QByteArray& bytes);

}  // namespace pictavo
