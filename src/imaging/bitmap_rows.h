// SPDX-License-Identifier: MIT
#pragma once
// A large uncompressed bitmap read from its file a strip of rows at a time, straight into
// the picture's final memory, top to bottom: the rows a window shows at once (at the end of
// the file for a bitmap stored bottom-up) are on screen before the rest is read, and the
// whole file is never in memory at once. Qt's reader decodes a bitmap only whole, so these
// plain rows are read here; every other bitmap is read whole and decoded by Qt.

#include <QByteArray>
#include <QSize>
#include <QtGlobal>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

#include "base/file_descriptor.h"
#include "imaging/colour_profile.h"
#include "imaging/picture_reader.h"

namespace pictavo {

class BitmapRows {
public:
    // The file open for reading its rows when it is a bitmap of at least `fromPixels`
    // pixels whose rows are read here: 24-bit, or 32-bit without alpha (uncompressed, or
    // bit fields of 8 bits each in the usual places). Nothing for any other file, which is
    // read whole. Throws HostError as readPictureFile does for what cannot be read at all.
    [[nodiscard]] static std::unique_ptr<BitmapRows> open(const std::filesystem::path& file, std::int64_t fromPixels);

    // The file's bytes up to its pixels: what checkPicture looks at (with fileSize()).
    [[nodiscard]] const QByteArray& headers() const { return headers_; }
    [[nodiscard]] std::int64_t fileSize() const { return identity_.size; }
    [[nodiscard]] const FileIdentity& identity() const { return identity_; }
    [[nodiscard]] QSize size() const { return size_; }
    // The profile a V5 header embeds, wherever in the file it lies.
    [[nodiscard]] PictureColours colours() const;

    // Reads the rows into `bits` (a Format_RGB32 picture of size(), `bytesPerLine` apart;
    // alpha 0xFF) top to bottom, a few megabytes of the file at a time, calling `ready(rows)`
    // once the first `firstRows` are in (the view's; a strip's when 0) and after each strip
    // below them, with how many rows from the top are complete: rising, the last call =
    // height, made only once the whole file has been read unchanged. Between strips above
    // `firstRows` it is called with the count it last gave, so that a stop is heard there
    // too. `ready` returns false to stop: decode() then returns false. Throws HostError
    // when the file ends early or changed while it was read. Call once.
    bool decode(uchar* bits, qsizetype bytesPerLine, int firstRows, const std::function<bool(int rows)>& ready);

private:
    BitmapRows(FileDescriptor fd, const FileIdentity& identity) : fd_(std::move(fd)), identity_(identity) {}
    // Reads `length` bytes at `offset`, all of them or HostError.
    void readAt(std::uint64_t offset, void* into, std::size_t length) const;

    FileDescriptor fd_;
    FileIdentity identity_;
    QByteArray headers_;
    QSize size_;
    std::uint64_t pixelsAt_ = 0, rowBytes_ = 0;
    int bytesPerPixel_ = 3;
    bool topDown_ = false;
};

}  // namespace pictavo
