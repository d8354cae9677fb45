// SPDX-License-Identifier: MIT
#pragma once
// A JPEG decoded through libjpeg-turbo straight into the picture's final memory, top to
// bottom, with each strip of rows reported as soon as it is written, so that the top of a
// 100-megapixel photo can be painted long before its last row is decoded. The pixels
// equal those of Qt's JPEG reader for the same file, EXIF orientation included; every
// JPEG is decoded here, whatever its size (decodePicture too).

#include <QByteArray>
#include <QSize>
#include <QtGlobal>
#include <functional>
#include <memory>

namespace pictavo {

// A JPEG decoded row by row into memory the caller provides.
class JpegRows {
public:
    // Reads the header of a whole JPEG file's bytes (kept by the caller while this lives).
    // Throws HostError for what is not a JPEG or a header libjpeg refuses.
    explicit JpegRows(const QByteArray& bytes);
    // Bytes that would be gone before the decode.
    explicit JpegRows(QByteArray&&) = delete;
    ~JpegRows();
    JpegRows(const JpegRows&) = delete;
    JpegRows& operator=(const JpegRows&) = delete;

    // The picture's size as shown: with the EXIF orientation applied (width and height
    // swapped for the turned ones).
    [[nodiscard]] QSize size() const;
    // True when decode() delivers rows top to bottom as they are decoded: a sequential
    // JPEG in one scan (not progressive) that the EXIF orientation leaves upright
    // (orientation 1 or none). Otherwise decode() still works, but the first rows are
    // ready only at the end.
    [[nodiscard]] bool rowsInOrder() const;
    // True when a decode may go on from a row that another decode of the same file left
    // (rows in order, and not arithmetic-coded, whose checks need every row).
    [[nodiscard]] bool resumable() const;
    // The EXIF orientation applied, 1 to 8 (1 when the file gives none or an unreadable one).
    [[nodiscard]] int orientation() const;

    // Decodes into `bits` (a Format_RGB32 picture of size(), `bytesPerLine` apart; every
    // pixel written, alpha 0xFF), calling `ready(rows)` from this thread each time more
    // rows from the top are complete: rows = how many, rising, the last call = height,
    // made only once the whole file has been read without fault. A strip is 16 rows, or
    // more for a narrow picture, so that each call covers at least ~128K pixels. When the
    // rows are not in order, `ready(0)` is called as often while nothing is ready yet, so
    // that such a decode can be stopped too.
    // `ready` returns false to stop: decode() then returns false at once (within a strip).
    // Throws HostError when libjpeg meets a fatal error, and for a warning of corrupt or
    // missing data, since the rows below would be grey or garbage. Call once.
    // `fromRow` > 0 (only where resumable()): the rows above it are in `bits` already, from
    // a decode stopped there; they are skipped, and `ready` counts on from them.
    bool decode(uchar* bits, qsizetype bytesPerLine, const std::function<bool(int rows)>& ready, int fromRow = 0);

    struct Decoder;

private:
    std::unique_ptr<Decoder> d_;
};

}  // namespace pictavo
