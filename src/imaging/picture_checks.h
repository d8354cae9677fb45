// SPDX-License-Identifier: MIT
#pragma once
// Structural checks on BMP and GIF files that Qt's readers do not make: a file whose
// picture data ends before the picture does is decoded as a partial picture with no
// error, so it is told apart here and refused like a truncated JPEG.

#include <cstddef>

namespace pictavo {

// The pixel data starts inside the file and, for uncompressed and RLE pictures, holds
// every row the header claims.
[[nodiscard]] bool bmpIsComplete(const unsigned char* data, std::size_t size);

// The first frame has an area, an LZW minimum code size of 2 to 11, and image data that
// runs to its block terminator inside the file and decodes to at least as many pixels as
// the frame has.
[[nodiscard]] bool gifIsComplete(const unsigned char* data, std::size_t size);

}  // namespace pictavo
