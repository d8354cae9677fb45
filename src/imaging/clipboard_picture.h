// SPDX-License-Identifier: MIT
#pragma once
// What another program offers on the clipboard is untrusted input, as a file is: its bytes
// go through the same reader, checks and memory bound (picture_reader.h), never through a
// decoder without them.

#include <QByteArray>
#include <QImage>
#include <QString>

class QMimeData;

namespace pictavo {

// The type under which the clipboard holds a picture decoded in this process.
inline constexpr const char* kDecodedPictureType = "application/x-qt-image";

// A picture as the clipboard offers it: the bytes of one picture format, or a picture
// this process put there already decoded.
struct ClipboardPicture {
    QString format;  // "image/png", kDecodedPictureType, or "" when nothing is offered
    QByteArray bytes;
    QImage image;
};

// The format to read among those offered: a picture format the reader knows, lossless ones
// first; a picture decoded in this process only where no bytes are offered (elsewhere Qt
// would make it by decoding the bytes itself, without our checks). "" when none.
[[nodiscard]] QString clipboardPictureFormat(const QMimeData& data);
// The offered picture, not yet decoded.
[[nodiscard]] ClipboardPicture takeClipboardPicture(const QMimeData& data);
// Decodes it as a file is decoded; anything a file would be refused for throws HostError.
[[nodiscard]] QImage decodeClipboardPicture(const ClipboardPicture& offered);

}  // namespace pictavo
