// SPDX-License-Identifier: MIT
#include "imaging/bitmap_rows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QRgb>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <system_error>
#include <vector>

#include "base/errors.h"
#include "imaging/picture_checks.h"

namespace pictavo {

namespace {

// The file's first bytes: every header a bitmap of ours has (14 + 124 + bit fields).
constexpr std::size_t kHeaderBytes = 256;
// Pixels that start further in carry more than a profile before them: read whole instead.
constexpr std::uint64_t kMostBeforePixels = std::uint64_t(kMaxProfileBytes) + 64 * 1024;
// About this much of the file is read at a time below the first rows.
constexpr std::uint64_t kStripBytes = std::uint64_t(4) << 20;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// The one conversion of a row, for the first rows and the rest alike: blue, green, red (and
// an unused byte at 32 bits) to the picture's opaque 32-bit pixels.
void bitmapRow(const unsigned char* from, QRgb* to, int width, int bytesPerPixel) {
    for (int x = 0; x < width; ++x, from += bytesPerPixel) to[x] = qRgb(from[2], from[1], from[0]);
}

// The rows read here: 24-bit, or 32-bit whose fourth byte is not alpha, the same pixels
// Qt's reader gives for them. Anything else is Qt's to decode.
bool rowsReadHere(const BitmapLayout& b, const unsigned char* data, std::size_t size) {
    if (b.headerSize < 40 || b.planes != 1 || b.width <= 0 || b.height == 0 || b.height == INT_MIN) return false;
    const std::uint64_t afterHeaders = 14 + b.headerSize;
    // An alpha mask (V4 and V5 headers) makes the fourth byte alpha.
    if (b.headerSize >= 56 && le32(data + 14 + 52) != 0) return false;
    if (b.bits == 24 && b.compression == 0) return b.offset >= afterHeaders;
    if (b.bits != 32) return false;
    if (b.compression == 0) return b.offset >= afterHeaders;
    if (b.compression != 3 || size < 14 + 40 + 12) return false;
    // Bit fields: the usual 8 bits each, after a 40-byte header or inside a larger one.
    const unsigned char* masks = data + 14 + 40;
    return le32(masks) == 0xFF0000u && le32(masks + 4) == 0xFF00u && le32(masks + 8) == 0xFFu &&
           b.offset >= std::max<std::uint64_t>(afterHeaders, 14 + 40 + 12);
}

[[noreturn]] void changedWhileRead() { throw HostError("The file changed while it was read"); }

}  // namespace

std::unique_ptr<BitmapRows> BitmapRows::open(const std::filesystem::path& file, std::int64_t fromPixels) {
    struct stat opened {};
    FileDescriptor fd = openPictureFile(file, opened);
    std::unique_ptr<BitmapRows> rows(new BitmapRows(std::move(fd), FileIdentity::of(opened)));
    unsigned char first[kHeaderBytes];
    const std::size_t firstBytes = std::min<std::size_t>(kHeaderBytes, static_cast<std::size_t>(opened.st_size));
    rows->readAt(0, first, firstBytes);
    const std::optional<BitmapLayout> b = bitmapLayout(first, firstBytes);
    if (!b || !rowsReadHere(*b, first, firstBytes) || b->offset > kMostBeforePixels) return nullptr;
    const std::int64_t height = std::llabs(b->height);
    if (b->width * height < fromPixels) return nullptr;
    // The headers up to the pixels (or the whole of a file cut short before them: the
    // checks refuse it).
    const auto headerBytes = static_cast<std::size_t>(std::min<std::uint64_t>(b->offset, opened.st_size));
    rows->headers_.resize(static_cast<qsizetype>(std::max(headerBytes, firstBytes)));
    rows->readAt(0, rows->headers_.data(), static_cast<std::size_t>(rows->headers_.size()));
    rows->size_ = QSize(static_cast<int>(b->width), static_cast<int>(height));
    rows->pixelsAt_ = b->offset;
    rows->rowBytes_ = b->rowBytes();
    rows->bytesPerPixel_ = static_cast<int>(b->bits / 8);
    rows->topDown_ = b->height < 0;
    return rows;
}

void BitmapRows::readAt(std::uint64_t offset, void* into, std::size_t length) const {
    auto* to = static_cast<char*>(into);
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd_.get(), to + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw HostError(reasonText({errno, std::generic_category()}));
        if (n == 0) changedWhileRead();  // shorter than when it was opened
        done += static_cast<std::size_t>(n);
    }
}

PictureColours BitmapRows::colours() const {
    const std::optional<ProfilePlace> place = bmpProfilePlace(headers_);
    if (!place) return pictureColours(headers_);
    const std::uint64_t end = place->offset + place->size;
    if (end <= std::uint64_t(headers_.size())) return pictureColours(headers_);
    if (end > std::uint64_t(fileSize())) return {};  // a profile past the end is none
    QByteArray profile(static_cast<qsizetype>(place->size), Qt::Uninitialized);
    try {
        readAt(place->offset, profile.data(), static_cast<std::size_t>(profile.size()));
    } catch (const HostError&) {
        return {};  // the rows' read finds what is wrong with the file
    }
    return {profile, false};
}

bool BitmapRows::decode(uchar* bits, qsizetype bytesPerLine, int firstRows,
                        const std::function<bool(int rows)>& ready) {
    const int height = size_.height(), width = size_.width();
    const int stripRows = static_cast<int>(std::clamp<std::uint64_t>(kStripBytes / rowBytes_, 1, height));
    const int firstPart = firstRows > 0 ? std::min(firstRows, height) : stripRows;
    std::vector<unsigned char> strip(static_cast<std::size_t>(stripRows) * rowBytes_);
    int reported = 0;
    for (int top = 0; top < height;) {
        const int end = std::min({height, top + stripRows, top < firstPart ? firstPart : height});
        // Rows [top, end) lie together in the file, the other way round when stored bottom-up.
        const int fileFirst = topDown_ ? top : height - end;
        readAt(pixelsAt_ + std::uint64_t(fileFirst) * rowBytes_, strip.data(), std::size_t(end - top) * rowBytes_);
        for (int y = top; y < end; ++y) {
            const int at = topDown_ ? y - top : end - 1 - y;
            bitmapRow(strip.data() + std::size_t(at) * rowBytes_, reinterpret_cast<QRgb*>(bits + y * bytesPerLine),
                      width, bytesPerPixel_);
        }
        top = end;
        if (top == height) {
            // The whole file as it was opened, or none of it.
            struct stat now {};
            if (::fstat(fd_.get(), &now) != 0 || !(FileIdentity::of(now) == identity_)) changedWhileRead();
        }
        if (top >= firstPart) reported = top;
        if (!ready(reported)) return false;
    }
    return true;
}

}  // namespace pictavo
