#include "host/picture_checks.h"

#include <cstdint>
#include <cstdlib>

namespace pictavo {

namespace {

std::uint32_t le16(const unsigned char* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }

// Walks run-length-encoded rows; whole when the end-of-bitmap mark or the last row is reached.
bool rleIsComplete(const unsigned char* p, const unsigned char* end, std::uint64_t rows, bool fourBit) {
    std::uint64_t row = 0;
    while (end - p >= 2) {
        const unsigned count = p[0], code = p[1];
        p += 2;
        if (count != 0) continue;  // an encoded run
        if (code == 0) {
            if (++row >= rows) return true;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (end - p < 2) return false;
            row += p[1];
            p += 2;
            if (row >= rows) return true;
        } else {
            // Absolute run: the pixels, padded to a 16-bit boundary.
            std::size_t bytes = fourBit ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            if (std::size_t(end - p) < bytes) return false;
            p += bytes;
        }
    }
    return false;
}

}  // namespace

bool bmpIsComplete(const unsigned char* data, std::size_t size) {
    if (size < 18 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint64_t offset = le32(data + 10);
    const std::uint64_t headerSize = le32(data + 14);
    if (offset >= size || 14 + headerSize > size) return false;
    std::int64_t width = 0, height = 0;
    std::uint32_t bits = 0, compression = 0;
    if (headerSize == 12) {
        width = le16(data + 18);
        height = le16(data + 20);
        bits = le16(data + 24);
    } else if (headerSize >= 40) {
        width = static_cast<std::int32_t>(le32(data + 18));
        height = static_cast<std::int32_t>(le32(data + 22));
        bits = le16(data + 28);
        compression = le32(data + 30);
    } else {
        return true;  // an unusual header: the decoder judges it
    }
    if (width <= 0 || height == 0) return true;  // the decoder refuses these itself
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(height));
    const unsigned char* pixels = data + offset;
    const unsigned char* end = data + size;
    switch (compression) {
        case 0:    // uncompressed
        case 3:    // bit fields
        case 6: {  // bit fields with alpha
            const std::uint64_t stride = (static_cast<std::uint64_t>(width) * bits + 31) / 32 * 4;
            return stride == 0 || rows <= (size - offset) / stride;
        }
        case 1: return rleIsComplete(pixels, end, rows, false);
        case 2: return rleIsComplete(pixels, end, rows, true);
        default: return true;
    }
}

bool gifIsComplete(const unsigned char* data, std::size_t size) {
    if (size < 13 || data[0] != 'G' || data[1] != 'I' || data[2] != 'F') return false;
    std::size_t i = 13;
    if (data[10] & 0x80) i += 3u << ((data[10] & 7) + 1);  // global colour table
    // Skips a chain of data sub-blocks; false when it runs past the end.
    auto skipBlocks = [&]() {
        while (i < size) {
            const std::size_t length = data[i++];
            if (length == 0) return true;
            i += length;
        }
        return false;
    };
    while (i < size) {
        const unsigned char introducer = data[i++];
        if (introducer == 0x21) {  // extension: label, then sub-blocks
            ++i;
            if (!skipBlocks()) return false;
        } else if (introducer == 0x2C) {  // image descriptor
            if (size - i < 10) return false;
            const unsigned char flags = data[i + 8];
            i += 9;
            if (flags & 0x80) i += 3u << ((flags & 7) + 1);  // local colour table
            ++i;                                             // LZW minimum code size
            return skipBlocks();
        } else {
            return false;  // the trailer before any image, or garbage
        }
    }
    return false;
}

}  // namespace pictavo
