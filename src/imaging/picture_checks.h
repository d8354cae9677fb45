// SPDX-License-Identifier: MIT
#pragma once
// Structural checks on BMP and GIF files that Qt's readers do not make: a file whose
// picture data ends before the picture does is decoded as a partial picture with no
// error, so it is told apart here and refused like a truncated JPEG.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace pictavo {

// What a bitmap's headers say of its pixels.
struct BitmapLayout {
    std::uint64_t offset = 0;            // where the pixels start in the file
    std::uint64_t headerSize = 0;        // of the information header: 12 (the oldest), 40, 108, 124, ...
    std::int64_t width = 0, height = 0;  // height below 0: rows stored top-down
    std::uint32_t planes = 1, bits = 0, compression = 0;
    [[nodiscard]] std::uint64_t rowBytes() const { return (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4; }
};
// Nothing when `data` (`size` bytes from the file's start) holds no bitmap headers whole.
[[nodiscard]] std::optional<BitmapLayout> bitmapLayout(const unsigned char* data, std::size_t size);

// The pixel data starts inside the file and, for uncompressed and RLE pictures, holds
// every row the header claims. `data` holds the first `size` bytes of a file of `fileSize`
// bytes (an RLE picture's are all needed).
[[nodiscard]] bool bmpIsComplete(const unsigned char* data, std::size_t size, std::size_t fileSize);

// The first frame has an area, an LZW minimum code size of 2 to 11, and image data that
// runs to its block terminator inside the file and decodes to at least as many pixels as
// the frame has.
[[nodiscard]] bool gifIsComplete(const unsigned char* data, std::size_t size);

}  // namespace pictavo
