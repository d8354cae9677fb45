// SPDX-License-Identifier: MIT
// Speed and memory of the work a person waits for, each against a reference measured in
// the same run, printed as one table. The pictures and folders are generated here
// (deterministic, photo-like) and kept in a data folder for later runs. Each time is the
// median of several runs after a warm-up. Nothing here fails a build by speed.
//
//   pictavo_bench [--million] [--quick] [--runs N] [--only ID] [--data DIR]
//
//   --million  also lists a folder of 1,000,000 pictures (generated once; takes a while)
//   --runs N   runs per measurement after the warm-up (7; at least 5 for a fair median)
//   --only ID  runs only the rows of that id (B1 ... B8, B5f, B9h, B9w, A1 ... A6); may be given again
//   --quick    small pictures and folders, one run each: checks that every row still works

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common.h"

using namespace bench;

namespace {

// The rows in the order printed; later rows join this list.
const std::vector<std::pair<const char*, void (*)(Benchmarks&)>> kBenchmarks{
    {"B1 B2", benchOpen},  {"B3 B3m", benchFolder},     {"B4", benchStart},           {"B5 B5f", benchSave},
    {"B6", benchResident}, {"B7", benchSlideShow},      {"B8", benchBitmaps},         {"A1 A2 A3 A4", benchAhead},
    {"A5 A5f", benchHold}, {"A6", benchSteppingMemory}, {"B9h B9w", benchOtherTypes},
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    binDir = fs::canonical("/proc/self/exe").parent_path();
    settings.data = binDir / "bench-data";
    std::optional<fs::path> child;
    bool stepping = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--million") {
            settings.million = true;
        } else if (arg == "--quick") {
            settings.quick = true;
        } else if (arg == "--only" && i + 1 < argc) {
            settings.only.emplace_back(argv[++i]);
        } else if (arg == "--runs" && i + 1 < argc) {
            settings.runs = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--data" && i + 1 < argc) {
            settings.data = argv[++i];
        } else if (arg == "--resident-child" && i + 1 < argc) {
            child = argv[++i];
        } else if (arg == "--stepping-child" && i + 1 < argc) {
            child = argv[++i];
            stepping = true;
        } else {
            std::fprintf(stderr, "usage: pictavo_bench [--million] [--quick] [--runs N] [--only ID] [--data DIR]\n");
            return 2;
        }
    }
    if (settings.quick) {
        settings.runs = 1;
        settings.photoW = 600, settings.photoH = 400;
        settings.largeW = 1250, settings.largeH = 800;
        settings.phoneW = 400, settings.phoneH = 300;
        settings.folderMatching = 1000, settings.folderOther = 200;
        settings.million = false;
        settings.data /= "quick";
    }
    fs::create_directories(settings.data);
    settings.data = fs::canonical(settings.data);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        // Qt wants one, private to the user; the started programs inherit it.
        const fs::path runtime = settings.data / "runtime";
        fs::create_directories(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.native()));
    }

    QApplication app(argc, argv);
    if (child) return stepping ? steppingChild(*child) : residentChild(*child);

    Program program;
    Benchmarks benchmarks{program};
    for (const auto& [name, bench] : kBenchmarks) {
        const std::string ids = std::string(" ") + name + " ";
        if (!settings.only.empty() &&
            std::none_of(settings.only.begin(), settings.only.end(),
                         [&](const std::string& id) { return ids.find(" " + id + " ") != std::string::npos; }))
            continue;
        std::printf("running %s\n", name);
        std::fflush(stdout);
        bench(benchmarks);
    }
    printTable();
    return 0;
}
