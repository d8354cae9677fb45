// SPDX-License-Identifier: MIT
#include "imaging/clipboard_picture.h"

#include <QImageReader>
#include <QMimeData>
#include <cstdint>

#include "base/errors.h"
#include "imaging/picture_reader.h"

namespace pictavo {

QString clipboardPictureFormat(const QMimeData& data) {
    const QStringList offered = data.formats();
    // The types our own libraries read (picture_formats.h) are unknown to Qt's readers.
    static const QStringList preferred{
        QStringLiteral("image/png"),      QStringLiteral("image/bmp"),  QStringLiteral("image/x-bmp"),
        QStringLiteral("image/x-ms-bmp"), QStringLiteral("image/jpeg"), QStringLiteral("image/gif"),
        QStringLiteral("image/webp"),     QStringLiteral("image/tiff"), QStringLiteral("image/avif"),
        QStringLiteral("image/heic"),     QStringLiteral("image/heif"), QStringLiteral("image/jxl")};
    for (const QString& format : preferred)
        if (offered.contains(format)) return format;
    static const QList<QByteArray> known = QImageReader::supportedMimeTypes();
    bool bytesOffered = false;
    for (const QString& format : offered) {
        if (!format.startsWith(QLatin1String("image/"))) continue;
        if (known.contains(format.toLatin1())) return format;
        bytesOffered = true;
    }
    // Qt would decode the picture from bytes of a format that the reader does not know.
    if (!bytesOffered && offered.contains(QLatin1String(kDecodedPictureType)))
        return QString::fromLatin1(kDecodedPictureType);
    return {};
}

ClipboardPicture takeClipboardPicture(const QMimeData& data) {
    ClipboardPicture offered{clipboardPictureFormat(data), {}, {}};
    if (offered.format == QLatin1String(kDecodedPictureType))
        offered.image = qvariant_cast<QImage>(data.imageData());
    else if (!offered.format.isEmpty())
        offered.bytes = data.data(offered.format);
    return offered;
}

QImage decodeClipboardPicture(const ClipboardPicture& offered) {
    if (offered.format != QLatin1String(kDecodedPictureType)) {
        if (offered.bytes.size() > kPictureLimitBytes) throw HostError("The picture is too large");
        return decodePicture(offered.bytes);
    }
    if (offered.image.isNull()) throw HostError("The clipboard holds no picture");
    if (4.0 * offered.image.width() * offered.image.height() > double(kPictureLimitBytes))
        throw HostError("The picture is too large");
    return offered.image;
}

}  // namespace pictavo
