// SPDX-License-Identifier: MIT
// B5: saving the shown picture as a bitmap, its time against one plain write of as many
// bytes, and the memory it takes besides the picture. B5f: the same save into a folder of
// a million files, which must not cost a read of that folder.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common.h"

namespace bench {

namespace {

// The reference of a save: one plain write of as many bytes into a new file, synced.
double plainWrite(const fs::path& plain, const std::vector<char>& data) {
    fs::remove(plain);
    const double ms = timed([&] {
        const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::puts("short write");
        ::fsync(fd);
        ::close(fd);
    });
    fs::remove(plain);
    return ms;
}

}  // namespace

void benchSave(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    p.clickToPainted(0);
    const pictavo::Picture shown = p.form.c.Image1.picture();
    const fs::path target = settings.data / "saved.bmp";
    long peakExtraKiB = 0;
    auto save = [&] {
        fs::remove(target);
        const long before = statusKiB("VmRSS");
        resetPeak();
        const double ms = timed([&] { p.host.files().SavePicture(shown, p.host.hostPath(target)); });
        peakExtraKiB = std::max(peakExtraKiB, statusKiB("VmHWM") - before);
        return ms;
    };
    save();
    // The same byte count, made before anything is timed.
    const std::vector<char> data(static_cast<std::size_t>(fs::file_size(target)), 'x');
    const fs::path plain = settings.data / "plain.bin";
    const auto [ours, reference] = medians(save, [&] { return plainWrite(plain, data); });
    fs::remove(target);
    table.push_back({"B5", "save shown " + megapixels(settings.photoW, settings.photoH) + " picture as bitmap, on disk",
                     ours, reference, "ms", 1.5});
    const double pictureMiB = static_cast<double>(shown.image()->sizeInBytes()) / (1024.0 * 1024.0);
    table.push_back({"B5", "peak memory while saving (one copy of the picture)",
                     static_cast<double>(peakExtraKiB) / 1024.0, pictureMiB, "MB", 1.0});

    // A folder the program has not listed: the save finds no record of what killed saves
    // left there and may read only a bounded start of it.
    const int matching = settings.million ? 1000000 : settings.folderMatching;
    const int other = settings.million ? 200000 : settings.folderOther;
    const fs::path crowded = manyFolder(settings.million ? "million" : "many", matching, other);
    const fs::path crowdedTarget = crowded / "saved.bmp";
    const auto [oursCrowded, referenceCrowded] = medians(
        [&] {
            fs::remove(crowdedTarget);
            return timed([&] { p.host.files().SavePicture(shown, p.host.hostPath(crowdedTarget)); });
        },
        [&] { return plainWrite(crowded / "plain.bin", data); });
    fs::remove(crowdedTarget);
    char what[96];
    std::snprintf(what, sizeof what, "B5 into a folder of %d files, not listed", matching + other);
    table.push_back({"B5f", what, oursCrowded, referenceCrowded, "ms", 1.5});
}

}  // namespace bench
