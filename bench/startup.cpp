// SPDX-License-Identifier: MIT
// B4: the program started as a process until its first paint, against an empty Qt window;
// with a full pictures folder, against the same window started after listing the folder.
// B4t: the first against a window that shows one line of text, which pays as much as any
// window with text for setting up its fonts (fontconfig reads its whole configuration).

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "common.h"

namespace bench {

namespace {

// An environment whose pictures folder is the given one (read by Qt from user-dirs.dirs).
std::vector<std::string> startEnvironment(const fs::path& pictures, const std::string& name) {
    const fs::path config = settings.data / ("config-" + name);
    fs::create_directories(config);
    std::ofstream(config / "user-dirs.dirs") << "XDG_PICTURES_DIR=\"" << pictures.native() << "\"\n";
    return {"XDG_CONFIG_HOME=" + config.native(), "QT_QPA_PLATFORM=offscreen", "PICTAVO_EXIT_AFTER_FIRST_PAINT=1"};
}

}  // namespace

void benchStart(Benchmarks&) {
    const fs::path pictavo = binDir / ".." / "pictavo";
    const fs::path bare = binDir / "bare_window";
    const fs::path many = manyFolder("many", settings.folderMatching, settings.folderOther);
    const auto emptyEnv = startEnvironment(emptyFolder(), "empty");
    const auto manyEnv = startEnvironment(many, "many");
    const auto [emptyMs, bareMs] =
        medians([&] { return runProcess(pictavo, {}, emptyEnv); }, [&] { return runProcess(bare, {}, emptyEnv); });
    // The floor with a full folder: the bare window, started after listing the folder itself
    // on one thread, in a process as new as the program's.
    auto listedThenBare = [&] { return runProcess(bare, {many, settings.pattern}, emptyEnv); };
    const auto [manyMs, manyReference] = medians([&] { return runProcess(pictavo, {}, manyEnv); }, listedThenBare);
    table.push_back({"B4", "start-up to first paint, empty pictures folder", emptyMs, bareMs, "ms", 1.2});
    const auto [emptyAgainMs, labelMs] = medians([&] { return runProcess(pictavo, {}, emptyEnv); },
                                                 [&] { return runProcess(bare, {"--label"}, emptyEnv); });
    table.push_back({"B4t", "start-up to first paint, empty pictures folder, vs a window with one label", emptyAgainMs,
                     labelMs, "ms", 1.2});
    char what[64];
    std::snprintf(what, sizeof what, "start-up to first paint, %d + %d files", settings.folderMatching,
                  settings.folderOther);
    table.push_back({"B4", what, manyMs, manyReference, "ms", 1.2});
}

}  // namespace bench
