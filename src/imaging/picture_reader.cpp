// SPDX-License-Identifier: MIT
#include "imaging/picture_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "base/errors.h"
#include "base/file_descriptor.h"
#include "imaging/jpeg_check.h"
#include "imaging/picture.h"
#include "imaging/picture_checks.h"
#include "imaging/picture_formats.h"
#include "imaging/pixel_pool.h"

namespace pictavo {

namespace {

void (*beforeRead)(int fd) = nullptr;

constexpr std::int64_t kLimitBytes = std::int64_t(kPictureAllocationLimitMiB) * 1024 * 1024;

[[noreturn]] void fail(int err) { throw HostError(reasonText({err, std::generic_category()})); }

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

const unsigned char* bytesOf(const QByteArray& bytes) {
    return reinterpret_cast<const unsigned char*>(bytes.constData());
}

}  // namespace

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
    return reader.size();
}

QByteArray readPictureFile(const std::filesystem::path& native, struct stat* seen, PixelPool* pool) {
    // What the entry is, before anything opens it: opening a FIFO waits for a writer and
    // opening a device may act on it.
    struct stat before {};
    if (::stat(native.c_str(), &before) != 0) fail(errno);
    if (!S_ISREG(before.st_mode)) throw HostError("Not a picture file");
    // Non-blocking all the same, in case the entry was swapped for a FIFO since.
    const FileDescriptor fd(::open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) fail(errno);
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0) fail(errno);
    if (!S_ISREG(opened.st_mode)) throw HostError("Not a picture file");
    if (opened.st_size == 0) throw HostError("The file is empty");
    if (opened.st_size > kLimitBytes) throw HostError("The file is too large to be a picture");
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
    if (done != bytes.size() || !sameFile(opened, after)) throw HostError("The file changed while it was read");
    if (seen) *seen = opened;
    return bytes;
}

PictureKind checkPicture(const QByteArray& bytes, std::int64_t limitBytes, bool jpegEnd) {
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
    if (kind.format.isEmpty()) kind = {reader.format(), reader.size()};
    if (kind.format.isEmpty()) throw HostError("Unknown picture format");
    if (!kind.size.isValid() && sizeInEveryHeader(kind.format)) throw HostError("The picture file is damaged");
    if (kind.size.isValid()) {
        const double bytesNeeded = 4.0 * kind.size.width() * kind.size.height();
        if (bytesNeeded > double(std::min(limitBytes, kLimitBytes))) throw HostError("The picture is too large");
    }
    const auto* data = bytesOf(bytes);
    const auto length = static_cast<std::size_t>(bytes.size());
    if (kind.jpeg()) {
        if (jpegEnd && !jpegIsComplete(data, length)) throw HostError("The picture file is truncated");
        // Too few bytes to fill the claimed size: a decompression bomb or a file cut short
        // inside its data. Refused now rather than after seconds of decoding grey.
        if (kind.size.isValid() && length < jpegMinimumBytes(kind.size.width(), kind.size.height()) &&
            !jpegUsesArithmeticCoding(data, length))
            throw HostError("The picture file is truncated");
    } else if (kind.format == "bmp") {
        if (!bmpIsComplete(data, length)) throw HostError("The picture file is truncated");
    } else if (kind.format == "gif") {
        if (!gifIsComplete(data, length)) throw HostError("The picture file is truncated");
    }
    return kind;
}

QImage decodePicture(const QByteArray& bytes, std::int64_t limitBytes, const PictureMemory& memory) {
    const PictureKind kind = checkPicture(bytes, limitBytes);
    if (kind.format == "heif" || kind.format == "jxl") return decodeLibraryPicture(kind, bytes, limitBytes, memory);
    const QSize size = kind.size;
    const bool jpeg = kind.jpeg();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind.format);
    reader.setAutoTransform(true);
    // A JPEG is decoded straight into memory already touched when the caller has some,
    // else into fresh memory that the kernel may hand out in huge pages, which is
    // noticeably quicker for a large picture than page by page. Only the JPEG reader
    // surely writes every pixel of a picture it is given (or replaces the picture when
    // its kind differs); other readers could leave old pixels showing.
    QImage image;
    if (jpeg && size.isValid()) image = memory ? memory(size) : freshPicture(size);
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
