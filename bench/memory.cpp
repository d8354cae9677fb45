// SPDX-License-Identifier: MIT
// B6 A6: the peak resident memory with a large picture shown, and while stepping through
// pictures decoded ahead, each measured in a child process of its own.

#include <cstdio>

#include "common.h"

namespace bench {

namespace {

// Runs this program again as one of the children below on a folder: its resident size
// before, its peak (KiB), and the decoded size of the picture shown at the end.
struct ChildFigures {
    long before = 0, peak = 0;
    long long decoded = 0;
};

ChildFigures childFigures(const char* option, const fs::path& folder) {
    std::string out;
    runProcess(binDir / "pictavo_bench", {option, folder.native()}, {"QT_QPA_PLATFORM=offscreen"}, &out);
    ChildFigures f;
    if (std::sscanf(out.c_str(), "%ld %ld %lld", &f.before, &f.peak, &f.decoded) != 3)
        std::printf("warning: %s gave no figures\n", option);
    return f;
}

}  // namespace

// In a child process, so that nothing else this benchmark did counts: the resident size
// with the window shown and a folder open, then the peak once a 100 MP photo is shown.
int residentChild(const fs::path& folder) {
    Program p;
    p.open(folder);
    p.clickToPainted(0);  // both photos are the same size: this warms what a first click sets up
    p.open(emptyFolder());
    p.open(folder);
    const long before = statusKiB("VmRSS");
    resetPeak();
    p.clickToPainted(1);
    // Once the whole photo has arrived (image() waits for it).
    const auto* image = p.form.c.Image1.picture().image();
    const long peak = statusKiB("VmHWM");
    std::printf("%ld %ld %lld\n", before, peak, image ? static_cast<long long>(image->sizeInBytes()) : 0LL);
    return 0;
}

void benchResident(Benchmarks&) {
    const fs::path large = photoFolder("photos100", 2, settings.largeW, settings.largeH);
    double ours = 0, reference = 0;
    median([&] {
        const ChildFigures f = childFigures("--resident-child", large);
        ours = static_cast<double>(f.peak) / 1024.0;
        reference = (static_cast<double>(f.before) * 1024.0 + static_cast<double>(f.decoded)) / (1024.0 * 1024.0);
        return ours / reference;
    });
    table.push_back({"B6", "peak resident memory, " + megapixels(settings.largeW, settings.largeH) + " JPEG shown",
                     ours, reference, "MB", 1.15});
}

// In a child process: the resident size with the window up and the folder open, then the
// peak while stepping through 100 MP photos with a rest on each; and the decoded size.
int steppingChild(const fs::path& folder) {
    Program p;
    p.open(folder);
    p.clickToPainted(0);
    p.open(emptyFolder());
    p.open(folder);
    const long before = statusKiB("VmRSS");
    resetPeak();
    p.decodeAhead(true);
    p.clickToPainted(0);
    for (int i = 0; i < 3; ++i) {
        Program::rest(1500);
        p.keyToPainted(Qt::Key_Down);
    }
    Program::rest(1500);
    const long peak = statusKiB("VmHWM");
    const auto* image = p.form.c.Image1.picture().image();
    std::printf("%ld %ld %lld\n", before, peak, image ? static_cast<long long>(image->sizeInBytes()) : 0LL);
    return 0;
}

void benchSteppingMemory(Benchmarks&) {
    const double budget = static_cast<double>(pictavo::defaultAheadBudget());
    const auto row = [&](const fs::path& folder, int w, int h) {
        const ChildFigures f = childFigures("--stepping-child", folder);
        table.push_back(
            {"A6", "peak memory stepping " + megapixels(w, h) + " JPEGs (ref: + budget)",
             static_cast<double>(f.peak) / 1024.0,
             (static_cast<double>(f.before) * 1024.0 + static_cast<double>(f.decoded) + budget) / (1024.0 * 1024.0),
             "MB", 1.0});
    };
    row(stepFolder(), settings.photoW, settings.photoH);
    row(photoFolder("photos100", 4, settings.largeW, settings.largeH), settings.largeW, settings.largeH);
}

}  // namespace bench
