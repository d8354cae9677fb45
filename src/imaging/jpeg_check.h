// SPDX-License-Identifier: MIT
#pragma once
#include <cstddef>

namespace pictavo {

// Walks a JPEG stream's markers and tells whether it reaches its end-of-image marker.
// A truncated file decodes to a partly grey picture without an error from the decoder;
// this is how such a file is told apart from a whole one. (libjpeg only warns of a
// premature end, and Qt's reader passes the warning over, so no library call tells it.)
[[nodiscard]] bool jpegIsComplete(const unsigned char* data, std::size_t size);

// True when the frame is entropy-coded with arithmetic coding, whose data has no
// useful lower bound on its size.
[[nodiscard]] bool jpegUsesArithmeticCoding(const unsigned char* data, std::size_t size);

// The fewest bytes of Huffman-coded data a whole JPEG picture of this size can hold: every
// 8 x 8 block of the fullest-sampled component costs at least one bit (its DC code). A file
// smaller than this cannot fill its picture, so it is refused before pixels are allocated.
[[nodiscard]] std::size_t jpegMinimumBytes(int width, int height);

}  // namespace pictavo
