// SPDX-License-Identifier: MIT
// What another program may offer on the clipboard: the first byte chooses the formats offered
// (a bit each), the rest are their bytes. A picture or a refusal out, never a crash, a leak, a
// hang or a picture larger than the bound. Opened as a paste opens it, through the picture
// pipeline, with every picture taken as a large one that arrives row by row, so that small
// inputs reach the row decoder, its turned strips and the arrival of rows too.
#include <QImage>
#include <QMimeData>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/errors.h"
#include "fuzz_limit.h"
#include "imaging/clipboard_picture.h"
#include "imaging/picture_pipeline.h"
#include "imaging/picture_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const char* const kFormats[] = {"image/png",       "image/bmp",  "image/jpeg",     "image/gif",
                                           "image/x-unknown", "text/plain", "image/x-ms-bmp", "image/tiff"};
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QMimeData offered;
    for (unsigned bit = 0; bit < 8; ++bit)
        if (data[0] & (1u << bit)) offered.setData(QString::fromLatin1(kFormats[bit]), bytes);
    try {
        const pictavo::ClipboardPicture picture = pictavo::takeClipboardPicture(offered);
        if (picture.format.isEmpty()) return 0;
        static pictavo::PicturePipeline pipeline({.arrivesLaterFrom = 0, .pictureLimitBytes = kFuzzLimitBytes});
        const pictavo::Picture opened = pipeline.open(picture);
        const QImage* whole = opened.image();
        if (!whole) std::abort();
        // Found broken part way: refused like a file.
        if (opened.arrival() && opened.arrival()->end() != pictavo::Arrival::End::Whole) return 0;
        const QImage image = *whole;
        if (image.isNull()) std::abort();
        if (image.sizeInBytes() > kFuzzLimitBytes) std::abort();
    } catch (const pictavo::HostError&) {
    }
    return 0;
}
