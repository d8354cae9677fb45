// Speed of the work a person waits for, each against a reference measured in this run:
//  - opening a 24-megapixel JPEG (click to shown) against libjpeg-turbo's djpeg;
//  - one slide-show tick on such photos against the slowest interval's 1000 ms budget;
//  - listing a folder of 100,000 files against a bare read of the folder.

#include <QCoreApplication>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "app/form1.h"
#include "support/test_host.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pictavo::Form1;
using pictavo::PathSyntax;
using pictavo::test::TestHost;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

template <typename F>
double bestOf(int runs, F&& work) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        work();
        best = std::min(best, msSince(start));
    }
    return best;
}

// A photo-like 6000 x 4000 picture: smooth gradients with grain, so it compresses like a
// real photo rather than like a flat colour.
void writePhoto(const fs::path& file, unsigned seed) {
    QImage image(6000, 4000, QImage::Format_RGB32);
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> grain(-12, 12);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int r = (x * 255 / 6000 + grain(random)) & 0xFF;
            const int g = (y * 255 / 4000 + grain(random)) & 0xFF;
            const int b = ((x + y) * 255 / 10000 + grain(random)) & 0xFF;
            line[x] = qRgb(r, g, b);
        }
    }
    image.save(QString::fromStdString(file.native()), "JPG", 90);
}

void benchOpen(TestHost& host) {
    const fs::path folder = host.startFolder();
    for (unsigned i = 1; i <= 3; ++i) writePhoto(folder / ("photo" + std::to_string(i) + ".jpg"), i);
    Form1 form(host);
    form.Form_Load();
    form.resize(6450, 4365);

    const double open = bestOf(5, [&] { form.c.filList.userClick(0); });
    if (!host.messages.empty()) std::printf("warning: %s\n", host.messages.back().prompt.c_str());

    const QString djpeg = QStandardPaths::findExecutable("djpeg");
    if (djpeg.isEmpty()) {
        std::printf("open 24 MP JPEG: %.0f ms (djpeg not installed: no reference)\n", open);
    } else {
        const auto file = QString::fromStdString((folder / "photo1.jpg").native());
        const double reference = bestOf(5, [&] {
            QProcess p;
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(djpeg, {"-bmp", file});
            p.waitForFinished(-1);
        });
        std::printf("open 24 MP JPEG, click to shown: %.0f ms; djpeg to BMP: %.0f ms; ratio %.2f\n", open,
                    reference, open / reference);
    }

    // One tick of the show: step, decode, show. The fastest pace gives it 1000 ms.
    form.c.filList.userClick(0);
    form.c.autoRn.click();
    double slowest = 0;
    for (int i = 0; i < 2; ++i) {
        const auto start = Clock::now();
        form.c.Timer1.tick();
        slowest = std::max(slowest, msSince(start));
    }
    std::printf("slide-show tick on 24 MP JPEGs: slowest %.0f ms of a 1000 ms interval; ratio %.2f\n", slowest,
                slowest / 1000.0);
}

void benchLargeFolder(TestHost& host) {
    const fs::path folder = host.root() / "many";
    fs::create_directory(folder);
    for (int i = 0; i < 100000; ++i) std::ofstream(folder / ("IMG_" + std::to_string(i) + (i % 10 ? ".JPG" : ".txt")));
    const double bare = bestOf(3, [&] {
        std::size_t n = 0;
        for (const auto& e : fs::directory_iterator(folder)) n += !e.path().empty();
        if (n == 0) std::puts("empty");
    });
    Form1 form(host);
    form.Form_Load();
    const std::string path = host.hostPath(folder);
    const double listed = bestOf(3, [&] {
        form.c.dirList.setPath(host.hostPath(host.startFolder()));
        form.c.dirList.setPath(path);
    });
    std::printf("folder of 100,000 files: shown as %s in %.0f ms; bare read %.0f ms; ratio %.2f\n",
                form.c.lstCnt.text().c_str(), listed, bare, listed / bare);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    TestHost host(PathSyntax::Posix);
    benchOpen(host);
    benchLargeFolder(host);
    return 0;
}
