// SPDX-License-Identifier: MIT
#include "imaging/picture_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <stdexcept>
#include <system_error>

#include "base/errors.h"
#include "base/file_descriptor.h"
#include "imaging/jpeg_check.h"
#include "imaging/jpeg_rows.h"
#include "imaging/picture.h"
#include "imaging/picture_checks.h"
#include "imaging/picture_formats.h"
#include "imaging/pixel_pool.h"

namespace pictavo {

namespace {

void (*beforeRead)(int fd) = nullptr;

[[noreturn]] void fail(int err) { throw HostError(reasonText({err, std::generic_category()})); }

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

const unsigned char* bytesOf(const QByteArray& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

// The size Qt's reader gives from a header. For a bitmap stored top-down it gives the stored
// height, below zero, though it decodes such a bitmap upright at the height above zero.
QSize headerSize(QImageReader& reader) {
    QSize size = reader.size();
    if (size.height() < 0 && reader.format() == "bmp" && size.height() != INT_MIN) size.setHeight(-size.height());
    return size;
}

}  // namespace

FileIdentity FileIdentity::of(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool operator==(const FileIdentity& a, const FileIdentity& b) {
    return a.device == b.device && a.inode == b.inode && a.size == b.size && sameTime(a.modified, b.modified) &&
           sameTime(a.changed, b.changed);
}

QSize pictureSize(const QByteArray& bytes) {
    try {
        if (const PictureKind kind = libraryPictureKind(bytes); !kind.format.isEmpty()) return kind.size;
    } catch (const HostError&) {
        return {};
    }
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    return headerSize(reader);
}

FileDescriptor openPictureFile(const std::filesystem::path& native, struct stat& opened) {
    // What the entry is, before anything opens it: opening a FIFO waits for a writer and
    // opening a device may act on it.
    struct stat before {};
    if (::stat(native.c_str(), &before) != 0) fail(errno);
    if (!S_ISREG(before.st_mode)) throw HostError("Not a picture file");
    // Non-blocking all the same, in case the entry was swapped for a FIFO since.
    FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) fail(errno);
    if (::fstat(fd.get(), &opened) != 0) fail(errno);
    if (!S_ISREG(opened.st_mode)) throw HostError("Not a picture file");
    if (opened.st_size == 0) throw HostError("The file is empty");
    if (opened.st_size > kPictureLimitBytes) throw HostError("The file is too large to be a picture");
    return fd;
}

QByteArray readPictureFile(const std::filesystem::path& native, struct stat* seen, PixelPool* pool) {
    struct stat opened {};
    const FileDescriptor fd = openPictureFile(native, opened);
    if (beforeRead) beforeRead(fd.get());

    // One read of the size just seen; a file that shrank, grew or was rewritten meanwhile
    // is refused rather than decoded from a mixture of old and new bytes.
    const auto size = static_cast<qsizetype>(opened.st_size);
    QByteArray bytes = pool ? pool->bytes(size) : QByteArray(size, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        if (n == 0) break;
        done += n;
    }
    struct stat after {};
    if (::fstat(fd.get(), &after) != 0) fail(errno);
    if (done != bytes.size() || !(FileIdentity::of(opened) == FileIdentity::of(after)))
        throw HostError("The file changed while it was read");
    if (seen) *seen = opened;
    return bytes;
}

PictureKind checkPicture(const QByteArray& bytes, std::int64_t limitBytes, bool jpegEnd, std::int64_t fileSize) {
    // Set once, before any reader reads: pictures are decoded on other threads too.
    static const bool limitSet = [] {
        QImageReader::setAllocationLimit(kPictureAllocationLimitMiB);
        return true;
    }();
    (void)limitSet;
    if (bytes.isEmpty()) throw HostError("The file is empty");
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // HEIF and JPEG XL are read by their own libraries (picture_formats.h), the rest by Qt.
    PictureKind kind = libraryPictureKind(bytes);
    if (kind.format.isEmpty()) kind = {reader.format(), headerSize(reader)};
    if (kind.format.isEmpty()) throw HostError("Unknown picture format");
    if (!kind.size.isValid() && sizeInEveryHeader(kind.format)) throw HostError("The picture file is damaged");
    if (kind.size.isValid()) {
        const double bytesNeeded = 4.0 * kind.size.width() * kind.size.height();
        if (bytesNeeded > double(std::min(limitBytes, kPictureLimitBytes))) throw HostError("The picture is too large");
    }
    const auto* data = bytesOf(bytes);
    const auto length = static_cast<std::size_t>(bytes.size());
    if (kind.jpeg()) {
        if (jpegEnd && !jpegIsComplete(data, length)) throw HostError("The picture file is truncated");
        // Too few bytes to fill the claimed size: a decompression bomb or a file cut short
        // inside its data. Refused now rather than after seconds of decoding grey.
        // Arithmetic-coded data has no such bound: its encoder leaves out trailing zeros, so
        // a flat picture of any size takes the same few bytes. JpegRows refuses such data
        // when what it leaves out is not flat.
        if (kind.size.isValid() && length < jpegMinimumBytes(kind.size.width(), kind.size.height()) &&
            !jpegUsesArithmeticCoding(data, length))
            throw HostError("The picture file is truncated");
    } else if (kind.format == "bmp") {
        if (!bmpIsComplete(data, length, fileSize < 0 ? length : static_cast<std::size_t>(fileSize)))
            throw HostError("The picture file is truncated");
    } else if (kind.format == "gif") {
        if (!gifIsComplete(data, length)) throw HostError("The picture file is truncated");
    }
    return kind;
}

namespace {

// Every JPEG, small or large, through the one decoder, so that one rule tells a whole file
// from a damaged one. It finds a file cut short itself.
QImage decodeJpeg(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory) {
    JpegRows rows(bytes);
    const QSize size = rows.size();
    if (4.0 * size.width() * size.height() > double(limitBytes)) throw HostError("The picture is too large");
    // Memory already touched when the caller has some, else fresh memory that the kernel
    // may hand out in huge pages, which is quicker for a large picture than page by page.
    QImage image = memory ? memory(size) : freshPicture(size);
    if (image.isNull()) throw HostError("Not enough memory for the picture");
    if (image.size() != size || image.format() != QImage::Format_RGB32)
        throw std::invalid_argument("decodePicture: the memory given is not of the picture's size");
    if (!rows.decode(image.bits(), image.bytesPerLine(), [](int) { return true; }))
        throw HostError("The picture was not decoded");
    return image;
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory) {
    const PictureKind kind = checkPicture(bytes, limitBytes, false);
    if (kind.jpeg()) return decodeJpeg(bytes, limitBytes, memory);
    if (kind.format == "heif" || kind.format == "jxl") return decodeLibraryPicture(kind, bytes, limitBytes, memory);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind.format);
    reader.setAutoTransform(true);
    QImage image;
    if (!reader.read(&image) || image.isNull()) throw HostError(reader.errorString().toStdString());
    // Draw from a 32-bit image; decoders for JPEG already hand one back. A decode that is
    // 32-bit already is kept as it is: no second copy of a large picture, and a bitmap's
    // straight (not premultiplied) colours stay exact for saving.
    if (image.depth() != 32) image = to32Bits(image);
    if (image.sizeInBytes() > limitBytes) throw HostError("The picture is too large");
    return image;
}

namespace seams {
void setBeforePictureRead(void (*hook)(int fd)) { beforeRead = hook; }
}  // namespace seams

}  // namespace pictavo
