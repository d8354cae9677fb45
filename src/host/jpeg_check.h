#pragma once
#include <cstddef>

namespace pictavo {

// Walks a JPEG stream's markers and tells whether it reaches its end-of-image marker.
// A truncated file decodes to a partly grey picture without an error from the decoder;
// this is how such a file is told apart from a whole one. (libjpeg only warns of a
// premature end, and Qt's reader passes the warning over, so no library call tells it.)
[[nodiscard]] bool jpegIsComplete(const unsigned char* data, std::size_t size);

}  // namespace pictavo
