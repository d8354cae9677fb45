// SPDX-License-Identifier: MIT
#pragma once
// The picture a library decoder writes its 8-bit RGB or RGBA rows into, and the one way
// those rows become the 32-bit pixels the rest of the program draws from.

#include <QImage>
#include <cstdint>

#include "imaging/picture_reader.h"

namespace pictavo {

// A picture of `size` to fill: Format_RGB32 from `memory` (or fresh memory) when opaque,
// a fresh Format_ARGB32_Premultiplied one when it has alpha. Refused when it would take
// more than `limitBytes`, or when there is no memory for it.
[[nodiscard]] QImage decodeTarget(QSize size, bool alpha, std::int64_t limitBytes, const PictureMemory& memory);

// Where the rows of a decodeTarget picture go. Made once, before decoding, so that a
// decoder's threads write into it without touching the QImage itself.
class RgbRows {
public:
    // `premultiplied`: the decoder gives colours already multiplied by their alpha, as a
    // file may store them.
    explicit RgbRows(QImage& target, bool premultiplied = false);
    // Puts `count` pixels of interleaved 8-bit R, G, B (and A when the target has alpha) at
    // (x, y); what would fall outside the picture is left out.
    void put(std::int64_t x, std::int64_t y, const std::uint8_t* pixels, std::int64_t count) const;

private:
    uchar* bits_;
    qsizetype stride_;
    std::int64_t width_, height_;
    bool alpha_, premultiplied_;
};

}  // namespace pictavo
