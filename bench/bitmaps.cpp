// SPDX-License-Identifier: MIT
// B8: a click on a 24 MP bitmap (24-bit, bottom-up, as the program saves one) until the part
// in view is painted, against reading the whole file and decoding it with Qt's reader on one
// thread.

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common.h"

namespace bench {

namespace {

// The photo-like JPEGs saved as bitmaps by Qt's writer, made once.
fs::path bitmapFolder() {
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    const fs::path folder = settings.data / "bitmaps24";
    fs::create_directories(folder);
    for (int i = 1; i <= 2; ++i) {
        const fs::path file = folder / ("photo" + std::to_string(i) + ".bmp");
        if (fs::exists(file)) continue;
        std::printf("generating %s\n", file.c_str());
        std::fflush(stdout);
        const fs::path part = folder / ("part-photo" + std::to_string(i) + ".bmp");
        const QImage photo(QString::fromStdString((photos / ("photo" + std::to_string(i) + ".jpg")).native()));
        if (!photo.convertToFormat(QImage::Format_RGB32).save(QString::fromStdString(part.native()), "bmp")) {
            std::fprintf(stderr, "cannot write %s\n", file.c_str());
            std::exit(1);
        }
        fs::rename(part, file);
    }
    return folder;
}

double qtDecode(const fs::path& file) {
    const auto start = Clock::now();
    const auto bytes = readWhole(file);
    QImage image;
    if (!image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "bmp"))
        std::printf("warning: Qt could not decode %s\n", file.c_str());
    return msSince(start);
}

}  // namespace

void benchBitmaps(Benchmarks& b) {
    Program& p = b.program;
    const fs::path folder = bitmapFolder();
    p.open(folder);
    int row = 0, file = 0;
    const auto [ours, reference] = medians(
        [&] {
            p.forgetPictures();
            return p.clickToPainted(row++ % 2);
        },
        [&] { return qtDecode(folder / ("photo" + std::to_string(file++ % 2 + 1) + ".bmp")); });
    p.reportMessages();
    table.push_back({"B8",
                     "click to the part in view painted, " + megapixels(settings.photoW, settings.photoH) +
                         " 24-bit bitmap, vs read whole and Qt's decode",
                     ours, reference, "ms", 0.10});
}

}  // namespace bench
