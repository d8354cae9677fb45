// SPDX-License-Identifier: MIT
// B5: saving the shown picture as a bitmap, its time against one plain write of as many
// bytes, and the memory it takes besides the picture.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common.h"

namespace bench {

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
    const auto [ours, reference] = medians(save, [&] {
        fs::remove(plain);
        return timed([&] {
            const int fd = ::open(plain.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::puts("short write");
            ::fsync(fd);
            ::close(fd);
        });
    });
    fs::remove(plain);
    fs::remove(target);
    table.push_back({"B5", "save shown " + megapixels(settings.photoW, settings.photoH) + " picture as bitmap, on disk",
                     ours, reference, "ms", 1.5});
    const double pictureMiB = static_cast<double>(shown.image()->sizeInBytes()) / (1024.0 * 1024.0);
    table.push_back({"B5", "peak memory while saving (one copy of the picture)",
                     static_cast<double>(peakExtraKiB) / 1024.0, pictureMiB, "MB", 1.0});
}

}  // namespace bench
