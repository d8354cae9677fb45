// SPDX-License-Identifier: MIT
#include "imaging/picture_formats.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include "imaging/library_codecs.h"

namespace pictavo {

PictureKind libraryPictureKind(const QByteArray& bytes) {
    if (!mayBeLibraryPicture(bytes)) return {};
    const LibraryCodecs* codecs = libraryCodecs();
    if (!codecs) return {};
    if (codecs->isHeif(bytes)) return {"heif", codecs->heifSize(bytes)};
    if (codecs->isJxl(bytes)) return {"jxl", codecs->jxlSize(bytes)};
    return {};
}

bool sizeInEveryHeader(const QByteArray& format) {
    return format == "png" || format == "webp" || format == "tiff" || format == "heif" || format == "jxl";
}

QImage decodeLibraryPicture(const PictureKind& kind, const QByteArray& bytes, std::int64_t limitBytes,
                            const PictureMemory& memory) {
    // Only a kind libraryPictureKind() gave, so the module is loaded.
    const LibraryCodecs& codecs = *libraryCodecs();
    return kind.format == "heif" ? codecs.decodeHeif(bytes, limitBytes, memory)
                                 : codecs.decodeJxl(bytes, limitBytes, memory);
}

QByteArray pictureIccProfile(const QByteArray& bytes) {
    const PictureKind kind = checkPicture(bytes);
    if (kind.format == "heif") return libraryCodecs()->heifProfile(bytes);
    if (kind.format == "jxl") return libraryCodecs()->jxlProfile(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind.format);
    return reader.read().colorSpace().iccProfile();
}

}  // namespace pictavo
