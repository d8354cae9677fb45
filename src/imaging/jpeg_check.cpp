// SPDX-License-Identifier: MIT
#include "imaging/jpeg_check.h"

#include <cstring>

namespace pictavo {

namespace {

// Calls frame(marker) for each start-of-frame marker; returns whether the end-of-image
// marker is reached.
template <typename OnFrame>
bool walkJpeg(const unsigned char* data, std::size_t size, OnFrame frame) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    std::size_t i = 2;
    bool inScan = false;
    while (i < size) {
        if (inScan) {
            // Entropy-coded data: look for the next real marker (not a stuffed 0xFF00,
            // a restart marker or fill bytes).
            const void* hit = std::memchr(data + i, 0xFF, size - i);
            if (!hit) return false;
            i = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - data);
            if (i + 1 >= size) return false;
            const unsigned char m = data[i + 1];
            if (m == 0x00 || m == 0xFF || (m >= 0xD0 && m <= 0xD7)) {
                i += (m == 0xFF) ? 1 : 2;
                continue;
            }
            inScan = false;
            continue;  // i points at the marker
        }
        if (data[i] != 0xFF) {
            ++i;  // tolerate stray bytes between segments
            continue;
        }
        if (i + 1 >= size) return false;
        const unsigned char m = data[i + 1];
        if (m == 0xFF) {
            ++i;
            continue;
        }
        if (m == 0xD9) return true;  // end of image
        if (m == 0x01 || (m >= 0xD0 && m <= 0xD7)) {
            i += 2;
            continue;
        }
        if (i + 3 >= size) return false;
        const std::size_t length = (std::size_t(data[i + 2]) << 8) | data[i + 3];
        if (length < 2) return false;
        if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC) frame(m);
        i += 2 + length;
        if (m == 0xDA) inScan = true;  // start of scan: compressed data follows
    }
    return false;
}

}  // namespace

bool jpegIsComplete(const unsigned char* data, std::size_t size) {
    return walkJpeg(data, size, [](unsigned char) {});
}

bool jpegUsesArithmeticCoding(const unsigned char* data, std::size_t size) {
    bool arithmetic = false;
    walkJpeg(data, size, [&](unsigned char m) { arithmetic = arithmetic || m >= 0xC9; });
    return arithmetic;
}

std::size_t jpegMinimumBytes(int width, int height) {
    if (width <= 0 || height <= 0) return 0;
    const std::size_t blocks = ((std::size_t(width) + 7) / 8) * ((std::size_t(height) + 7) / 8);
    return blocks / 8;
}

}  // namespace pictavo
