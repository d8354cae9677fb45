// SPDX-License-Identifier: MIT
#pragma once
// Reading and decoding picture files, whatever a folder holds: an entry that is not a
// regular file is refused without waiting on it, the bytes are read (never mapped, so a
// file that shrinks meanwhile cannot kill the program), a file whose picture data ends
// early is refused, and so is a picture whose decoded pixels would not fit the bound.
// Every refusal is a HostError.

#include <sys/stat.h>
#include <sys/types.h>

#include <QByteArray>
#include <QImage>
#include <cstdint>
#include <filesystem>
#include <functional>

#include "base/file_descriptor.h"

namespace pictavo {

class PixelPool;

// The most memory a single decoded picture may take. Qt's default of 128 MiB refuses
// ordinary 100-megapixel photos; a header that claims more than this is refused before
// any pixel memory is taken. No picture file may be larger than this either.
inline constexpr int kPictureAllocationLimitMiB = 1024;
inline constexpr std::int64_t kPictureLimitBytes = std::int64_t(kPictureAllocationLimitMiB) * 1024 * 1024;

// Which file a path named when it was read: the same path holding another file, or the
// same file rewritten or touched since, is another picture.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity of(const struct stat& st);
    friend bool operator==(const FileIdentity& a, const FileIdentity& b);
};

// A regular file (or a link to one) open for reading, after the checks every picture file
// passes: nothing else is waited on or opened, and an empty file or one larger than any
// picture is refused (HostError). `opened` receives what the open file was.
[[nodiscard]] FileDescriptor openPictureFile(const std::filesystem::path& native, struct stat& opened);

// All bytes of a regular file (or a link to one), in one bounded read. `opened` receives
// what the open file was, for telling later whether the path still holds the same file.
// With a pool the bytes are read into one of its buffers; give it back when decoded.
[[nodiscard]] QByteArray readPictureFile(const std::filesystem::path& native, struct stat* opened = nullptr,
                                         PixelPool* pool = nullptr);

// What a picture file holds, as far as its header tells, once it has passed the checks
// every picture passes before any pixel memory is taken: a known format, a size within
// `limitBytes`, and picture data that does not end early. Throws HostError otherwise.
struct PictureKind {
    QByteArray format;  // "jpeg", "bmp", "gif", ...
    QSize size;         // as stored, before any EXIF turn; invalid when the header does not tell
    [[nodiscard]] bool jpeg() const { return format == "jpeg" || format == "jpg"; }
};
// `jpegEnd` false skips the walk of a JPEG's data to its end marker, for a decoder that
// finds a JPEG cut short itself (JpegRows) and would otherwise wait for that walk first.
// `fileSize`, when given, says that `bytes` are only the first bytes (at least the headers)
// of a bitmap file of that size, whose rows are read later (BitmapRows).
[[nodiscard]] PictureKind checkPicture(const QByteArray& bytes, std::int64_t limitBytes = kPictureLimitBytes,
                                       bool jpegEnd = true, std::int64_t fileSize = -1);

// A 32-bit picture with its EXIF orientation applied. A picture whose pixels would take
// more than `limitBytes` is refused before they are decoded (where its header tells).
// `memory`, when given, is asked for the memory a JPEG is decoded into: a Format_RGB32
// picture of the size asked that nobody else holds (see PixelPool); fresh memory if not.
using PictureMemory = std::function<QImage(QSize)>;
[[nodiscard]] QImage decodePicture(const QByteArray& bytes, std::int64_t limitBytes = kPictureLimitBytes,
                                   const PictureMemory& memory = {});

// The size a picture's header gives, without decoding it; invalid when it does not tell.
[[nodiscard]] QSize pictureSize(const QByteArray& bytes);

namespace seams {
// Called with the open file between the size check and the read, so that a test can
// change the file there as another program might.
void setBeforePictureRead(void (*hook)(int fd));
}  // namespace seams

}  // namespace pictavo
