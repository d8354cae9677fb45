// SPDX-License-Identifier: MIT
#include "imaging/picture_formats.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include "imaging/heif_picture.h"
#include "imaging/jxl_picture.h"

namespace pictavo {

PictureKind libraryPictureKind(const QByteArray& bytes) {
    if (isHeifPicture(bytes)) return {"heif", heifPictureSize(bytes)};
    if (isJxlPicture(bytes)) return {"jxl", jxlPictureSize(bytes)};
    return {};
}

bool sizeInEveryHeader(const QByteArray& format) {
    return format == "png" || format == "webp" || format == "tiff" || format == "heif" || format == "jxl";
}

QImage decodeLibraryPicture(const PictureKind& kind, const QByteArray& bytes, std::int64_t limitBytes,
                            const PictureMemory& memory) {
    return kind.format == "heif" ? decodeHeifPicture(bytes, limitBytes, memory)
                                 : decodeJxlPicture(bytes, limitBytes, memory);
}

QByteArray pictureIccProfile(const QByteArray& bytes) {
    const PictureKind kind = checkPicture(bytes);
    if (kind.format == "heif") return heifIccProfile(bytes);
    if (kind.format == "jxl") return jxlIccProfile(bytes);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind.format);
    return reader.read().colorSpace().iccProfile();
}

}  // namespace pictavo
