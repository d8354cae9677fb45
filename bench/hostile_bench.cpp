// SPDX-License-Identifier: MIT
// The hostile corpus of the tests, each entry opened as a click opens it, in a child process
// of its own: what the person sees, the time and the peak memory it costs. Times are given
// against opening an ordinary 12-megapixel photo in the same run, memory against a child that
// opens nothing. Also the worst pictures the allocation bound lets through.
// Run: build/bench/hostile_bench

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/hostile_corpus.h"
#include "support/test_host.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using pictavo::HostError;
using pictavo::test::TestHost;

namespace {

struct Result {
    std::string seen;
    double ms = 0;
    double peakMiB = 0;
};

// Loads in a child; the child reports the time through a pipe and its peak memory comes
// from the kernel's accounting of the finished process.
Result loadInChild(TestHost& host, const fs::path& file) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {"pipe failed"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        char code = 'P';
        const auto start = Clock::now();
        try {
            if (!file.empty()) (void)host.pictures().open(file);
        } catch (const HostError&) {
            code = 'M';
        } catch (...) {
            code = 'E';
        }
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        char buffer[64];
        const int n = std::snprintf(buffer, sizeof buffer, "%c %.3f", code, ms);
        (void)!::write(pipeFds[1], buffer, static_cast<std::size_t>(n));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char buffer[64] = {};
    const ssize_t got = ::read(pipeFds[0], buffer, sizeof buffer - 1);
    ::close(pipeFds[0]);
    int status = 0;
    struct rusage usage {};
    ::wait4(child, &status, 0, &usage);
    Result r;
    r.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (got <= 0 || !WIFEXITED(status)) {
        r.seen = "CRASH";
        return r;
    }
    char code = '?';
    std::sscanf(buffer, "%c %lf", &code, &r.ms);
    r.seen = code == 'P' ? "picture" : code == 'M' ? "the message" : "OTHER ERROR";
    return r;
}

void writeLargeJpeg(const fs::path& file, int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) line[x] = qRgb(x * 7 ^ y * 3, (x + y) & 0xFF, (x * y) >> 4);
    }
    image.save(QString::fromStdString(file.native()), "JPG", 85);
}

}  // namespace

int main() {
    TestHost host;
    const fs::path folder = host.startFolder();
    const auto entries = pictavo::test::makeHostileFolder(folder);

    const fs::path reference = host.root() / "reference.jpg";
    writeLargeJpeg(reference, 4000, 3000);
    const Result idle = loadInChild(host, {});
    Result ref = loadInChild(host, reference);
    for (int i = 0; i < 2; ++i) {
        const Result again = loadInChild(host, reference);
        if (again.ms < ref.ms) ref = again;
    }
    std::printf(
        "reference: a 12-megapixel JPEG opens in %.1f ms, peak %.1f MiB (a child that opens nothing: %.1f MiB)\n\n",
        ref.ms, ref.peakMiB, idle.peakMiB);
    std::printf("%-48s %-12s %10s %9s %11s\n", "input", "seen", "time ms", "x ref", "extra MiB");
    const auto row = [&](const std::string& label, const fs::path& file) {
        const Result r = loadInChild(host, file);
        std::printf("%-48s %-12s %10.2f %9.3f %11.1f\n", label.c_str(), r.seen.c_str(), r.ms, r.ms / ref.ms,
                    r.peakMiB - idle.peakMiB);
    };
    for (const auto& e : entries) row(e.label, folder / e.name);

    // The worst the bound lets through: a real 100-megapixel photo and the largest JPEG
    // whose pixels fit the bound, both with all their data.
    std::printf("\nwithin the bound:\n");
    const fs::path photo = host.root() / "photo100mp.jpg", largest = host.root() / "largest.jpg";
    writeLargeJpeg(photo, 10000, 10000);
    row("a 100-megapixel JPEG", photo);
    writeLargeJpeg(largest, 16383, 16383);
    row("a whole 16383 x 16383 JPEG (" + std::to_string(fs::file_size(largest) / 1024) + " KiB)", largest);
    return 0;
}
