// SPDX-License-Identifier: MIT
// What another program may offer on the clipboard, pasted through the Qt host as the paste
// button does: the outcome, the time, and the longest the window went without handling its
// events meanwhile (a 10 ms timer of the window's thread is watched).
// Run: QT_QPA_PLATFORM=offscreen build/bench/clipboard_probe

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QMimeData>
#include <QTimer>
#include <cstdio>
#include <string>

#include "qthost/qt_host.h"
#include "support/hostile_corpus.h"

using namespace pictavo;

namespace {

QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A PNG header claiming another size, its checksum mended.
QByteArray pngClaiming(QByteArray png, quint32 width, quint32 height) {
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = static_cast<char>(width >> (24 - 8 * i));
        png[20 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    quint32 crc = 0xFFFFFFFF;
    for (int i = 12; i < 29; ++i) {
        crc ^= static_cast<unsigned char>(png[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    return png;
}

// A null offer keeps what the clipboard holds.
void probe(QtHost& host, const char* what, QMimeData* offered) {
    if (offered) QGuiApplication::clipboard()->setMimeData(offered);
    QElapsedTimer clock, sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    tick.start(10);
    std::string outcome;
    qint64 ms = 0;
    // Taken as the call returns: letting go of a large picture afterwards is not the paste's.
    auto done = [&] {
        ms = clock.elapsed();
        longestGap = std::max(longestGap, sinceTick.elapsed());
    };
    const bool available = host.ClipboardHasBitmap();
    clock.start();
    sinceTick.start();
    try {
        const pictavo::ClipboardPicture offered = host.ClipboardGetData();
        Picture picture;
        if (!offered.format.isEmpty()) {
            picture = host.pictures().open(offered);
            (void)picture.image();  // until the whole has arrived
        }
        done();
        outcome = picture.isNull() ? "nothing pasted (no picture offered)"
                                   : "pasted, " + std::to_string(picture.image()->width()) + " x " +
                                         std::to_string(picture.image()->height());
    } catch (const HostError& e) {
        done();
        outcome = std::string("refused, the paste message shown (") + e.what() + ")";
    }
    std::printf("| %s | %s | %s | %lld ms | %lld ms |\n", what, available ? "on" : "off", outcome.c_str(),
                static_cast<long long>(ms), static_cast<long long>(longestGap));
}

QMimeData* offer(const char* format, const QByteArray& bytes) {
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(format), bytes);
    return data;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtHost host;
    QImage small(640, 480, QImage::Format_RGB32);
    small.fill(0x3366cc);
    const QByteArray png = encoded(small, "PNG"), bmp = encoded(small, "BMP"), jpeg = encoded(small, "JPEG");
    QImage big(16000, 16000, QImage::Format_RGB888);
    big.fill(0x808080);
    const QByteArray bigPng = encoded(big, "PNG");
    big = QImage();

    std::printf("| offered | paste button | outcome | time | longest the window waited |\n|---|---|---|---|---|\n");
    probe(host, "PNG 640 x 480", offer("image/png", png));
    probe(host, "BMP 640 x 480", offer("image/bmp", bmp));
    probe(host, "JPEG 640 x 480", offer("image/jpeg", jpeg));
    probe(host, "PNG 16000 x 16000 (1 GiB decoded)", offer("image/png", bigPng));
    probe(host, "PNG claiming 30000 x 30000", offer("image/png", pngClaiming(png, 30000, 30000)));
    probe(host, "BMP 640 x 480 with a tenth of its pixel bytes", offer("image/bmp", bmp.left(54 + bmp.size() / 10)));
    probe(host, "PNG cut in half", offer("image/png", png.left(png.size() / 2)));
    probe(host, "JPEG claiming 16383 x 16383",
          offer("image/jpeg", QByteArray::fromStdString(test::jpegClaiming(16383, 16383))));
    probe(host, "4 KiB of random bytes as PNG", offer("image/png", QByteArray::fromStdString(std::string(4096, 'Z'))));
    probe(host, "no bytes as PNG", offer("image/png", {}));
    probe(host, "bytes of an unknown picture type", offer("image/x-unknown", png));
    auto* text = new QMimeData;
    text->setText(QStringLiteral("text"));
    probe(host, "text", text);
    host.ClipboardSetData(Picture(std::make_shared<const QImage>(small)));
    probe(host, "Pictavo's own copied picture", nullptr);
    return 0;
}
