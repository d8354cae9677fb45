// SPDX-License-Identifier: MIT
#pragma once
// Our own bitmap writer: 24 bits per pixel, rows bottom-up, a few rows at a time straight
// to the file, so that saving a large picture never holds a second copy of it in memory
// (QImage::save converts the whole picture first).

class QImage;

namespace pictavo {

// Writes the picture as a bitmap file to an open file (transparency is dropped).
// Returns 0 or the error number.
[[nodiscard]] int writeBitmap(int fd, const QImage& image);

}  // namespace pictavo
