// SPDX-License-Identifier: MIT
#pragma once
// JPEG XL pictures through libjxl: the first frame as shown, with the file's orientation
// applied as libjxl does by default.

#include <QByteArray>
#include <QImage>
#include <cstdint>

#include "imaging/picture_reader.h"

namespace pictavo {

// A bare codestream (FF 0A) or the "JXL " container.
[[nodiscard]] bool isJxlPicture(const QByteArray& bytes);

// The size the header gives, before any turn, without decoding. HostError when there is no
// whole header.
[[nodiscard]] QSize jxlPictureSize(const QByteArray& bytes);

// The first frame, refused before decoding when its size would take more than
// `limitBytes`. Opaque pictures are decoded into `memory` when given.
[[nodiscard]] QImage decodeJxlPicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory);

// The picture's colour profile as ICC bytes (libjxl describes one it stores as an
// encoding in ICC form too).
[[nodiscard]] QByteArray jxlIccProfile(const QByteArray& bytes);

}  // namespace pictavo
