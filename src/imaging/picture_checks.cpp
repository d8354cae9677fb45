// SPDX-License-Identifier: MIT
#include "imaging/picture_checks.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pictavo {

namespace {

std::uint32_t le16(const unsigned char* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t le32(const unsigned char* p) { return le16(p) | le16(p + 2) << 16; }

// Walks run-length-encoded rows; whole when the last row is reached.
bool rleIsComplete(const unsigned char* p, const unsigned char* end, std::uint64_t rows, bool fourBit) {
    std::uint64_t row = 0;
    while (end - p >= 2) {
        const unsigned count = p[0], code = p[1];
        p += 2;
        if (count != 0) continue;  // an encoded run
        if (code == 0) {
            if (++row >= rows) return true;
        } else if (code == 1) {
            // The end of the picture data: whole only once the last row has begun. Ending
            // sooner leaves the rest undefined, and a tiny file claiming a huge picture
            // would cost seconds and a gigabyte to show as blank.
            return row + 1 >= rows;
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

// How many pixels a GIF's LZW stream decodes to, counting up to `wanted`. Only the
// length of each table entry is kept: the pixels themselves are not needed.
std::uint64_t lzwPixels(const std::vector<unsigned char>& stream, unsigned minimumCodeSize, std::uint64_t wanted) {
    // Codes start one bit wider than the minimum and stop at 12 bits: above 11 no code
    // fits. Sizes above 8 are unusual but decode, and other readers show them.
    if (minimumCodeSize < 2 || minimumCodeSize > 11) return 0;
    const unsigned clear = 1u << minimumCodeSize, endOfData = clear + 1;
    std::vector<std::uint32_t> length(4096, 1);
    unsigned codeSize = minimumCodeSize + 1, next = clear + 2;
    int previous = -1;
    std::uint64_t pixels = 0, bitPos = 0;
    const std::uint64_t bits = std::uint64_t(stream.size()) * 8;
    while (pixels < wanted && bitPos + codeSize <= bits) {
        unsigned code = 0;
        for (unsigned b = 0; b < codeSize; ++b, ++bitPos) code |= ((stream[bitPos / 8] >> (bitPos % 8)) & 1u) << b;
        if (code == clear) {
            codeSize = minimumCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == endOfData) break;
        if (previous < 0) {
            if (code > clear) break;  // the first code after a clear must be a colour
            ++pixels;
            previous = static_cast<int>(code);
            continue;
        }
        if (code > next) break;  // not yet in the table: a broken stream
        const std::uint32_t emitted = code < next ? length[code] : length[previous] + 1;
        pixels += emitted;
        if (next < 4096) {
            length[next++] = length[previous] + 1;
            if (next == (1u << codeSize) && codeSize < 12) ++codeSize;
        }
        previous = static_cast<int>(code);
    }
    return pixels;
}

}  // namespace

std::optional<BitmapLayout> bitmapLayout(const unsigned char* data, std::size_t size) {
    if (size < 18 || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    BitmapLayout b;
    b.offset = le32(data + 10);
    b.headerSize = le32(data + 14);
    if (14 + b.headerSize > size) return std::nullopt;
    if (b.headerSize == 12) {
        b.width = le16(data + 18);
        b.height = le16(data + 20);
        b.planes = le16(data + 22);
        b.bits = le16(data + 24);
    } else if (b.headerSize >= 40) {
        b.width = static_cast<std::int32_t>(le32(data + 18));
        b.height = static_cast<std::int32_t>(le32(data + 22));
        b.planes = le16(data + 26);
        b.bits = le16(data + 28);
        b.compression = le32(data + 30);
    }
    return b;
}

bool bmpIsComplete(const unsigned char* data, std::size_t size, std::size_t fileSize) {
    const std::optional<BitmapLayout> b = bitmapLayout(data, size);
    if (!b || b->offset >= fileSize) return false;
    if (b->headerSize != 12 && b->headerSize < 40) return true;  // an unusual header: the decoder judges it
    if (b->width <= 0 || b->height == 0) return true;            // the decoder refuses these itself
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(b->height));
    switch (b->compression) {
        case 0:    // uncompressed
        case 3:    // bit fields
        case 6: {  // bit fields with alpha
            const std::uint64_t stride = b->rowBytes();
            return stride == 0 || rows <= (fileSize - b->offset) / stride;
        }
        case 1:
        case 2:
            // Run-length-encoded rows are walked, and need every byte.
            if (size < fileSize || b->offset >= size) return false;
            return rleIsComplete(data + b->offset, data + size, rows, b->compression == 2);
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
            const std::uint64_t pixels = std::uint64_t(le16(data + i + 4)) * le16(data + i + 6);
            i += 9;
            if (flags & 0x80) i += 3u << ((flags & 7) + 1);  // local colour table
            if (i >= size) return false;
            const unsigned minimumCodeSize = data[i++];
            // A frame without area is as broken as one without data (Qt shows either as an
            // empty picture), and so is a code size that no encoder may write.
            if (pixels == 0) return false;
            std::vector<unsigned char> stream;
            const std::size_t start = i;
            if (!skipBlocks()) return false;
            for (std::size_t k = start; k + 1 < i; k += 1 + data[k])
                stream.insert(stream.end(), data + k + 1, data + k + 1 + data[k]);
            return lzwPixels(stream, minimumCodeSize, pixels) >= pixels;
        } else {
            return false;  // the trailer before any image, or garbage
        }
    }
    return false;
}

}  // namespace pictavo
