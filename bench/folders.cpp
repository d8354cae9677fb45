// SPDX-License-Identifier: MIT
// B3: entering a large folder, against one readdir of it, matched and sorted.

#include <cstdio>
#include <string>

#include "common.h"

namespace bench {

namespace {

double folderChange(Program& p, const fs::path& folder, std::string* count) {
    p.open(emptyFolder());
    const double ms = timed([&] { p.window.run([&] { p.form.c.dirList.setPath(p.host.hostPath(folder)); }); });
    if (count) *count = p.form.c.lstCnt.text();
    Program::settle();
    return ms;
}

}  // namespace

void benchFolder(Benchmarks& b) {
    Program& p = b.program;
    const fs::path many = manyFolder("many", settings.folderMatching, settings.folderOther);
    std::string count;
    std::size_t matched = 0;
    const auto [ours, reference] =
        medians([&] { return folderChange(p, many, &count); }, [&] { return scanFolder(many, &matched); });
    p.reportMessages();
    if (count != "0/" + std::to_string(matched))
        std::printf("warning: the count box shows \"%s\" for %zu pictures\n", count.c_str(), matched);
    char what[64];
    std::snprintf(what, sizeof what, "folder change, %d + %d other files", settings.folderMatching,
                  settings.folderOther);
    table.push_back({"B3", what, ours, reference, "ms", 1.2});

    if (!settings.million) return;
    const fs::path million = manyFolder("million", 1000000, 200000);
    const auto [oursMillion, referenceMillion] =
        medians([&] { return folderChange(p, million, &count); }, [&] { return scanFolder(million, &matched); });
    table.push_back(
        {"B3m", "folder change, 1,000,000 + 200,000 other files", oursMillion, referenceMillion, "ms", 1.5});
    p.open(emptyFolder());
}

}  // namespace bench
