// SPDX-License-Identifier: MIT
#pragma once
// Our own bitmap writer: 24 bits per pixel, rows bottom-up, a few rows at a time straight
// to the file, so that saving a large picture never holds a second copy of it in memory
// (QImage::save converts the whole picture first).

class QImage;

namespace pictavo {

class ColourConversion;

// Writes the picture as a bitmap file to an open file (transparency is dropped).
// `colours`, when given, converts each row as it is written (the screen's colours to sRGB,
// see ColourTransforms::screenToSrgb), so that the file carries sRGB without a converted
// copy of the whole picture. Returns 0 or the error number.
[[nodiscard]] int writeBitmap(int fd, const QImage& image, const ColourConversion* colours = nullptr);

}  // namespace pictavo
