// SPDX-License-Identifier: MIT
#pragma once
// HEIF pictures, HEIC (HEVC) and AVIF (AV1), through libheif: the primary image, with its
// irot/imir turn and clap crop applied as libheif does by default.

#include <QByteArray>
#include <QImage>
#include <cstdint>

#include "imaging/picture_reader.h"

namespace pictavo {

// The bytes start with an ftyp box of a brand libheif reads (heic, heix, mif1, avif, ...).
[[nodiscard]] bool isHeifPicture(const QByteArray& bytes);

// The primary image's size from the file's boxes, without decoding it. HostError when the
// boxes do not describe a picture, or describe one past the end of the file.
[[nodiscard]] QSize heifPictureSize(const QByteArray& bytes);

// The primary image, refused before decoding when its size would take more than
// `limitBytes`. Opaque pictures are decoded into `memory` when given.
[[nodiscard]] QImage decodeHeifPicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory);

// The primary image's embedded ICC profile, empty when it has none.
[[nodiscard]] QByteArray heifIccProfile(const QByteArray& bytes);

}  // namespace pictavo
