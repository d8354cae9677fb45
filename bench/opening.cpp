// B1 B2: a click on a JPEG until its picture is painted, against libjpeg-turbo alone.

#include <string>

#include "common.h"

namespace bench {

void benchOpen(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    int row = 0, file = 0;
    const auto [ours, reference] =
        medians([&] { return p.clickToPainted(row++ % 2); },
                [&] { return turboDecode(photos / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); });
    p.reportMessages();
    table.push_back({"B1", "click to picture painted, " + megapixels(settings.photoW, settings.photoH) + " JPEG", ours,
                     reference, "ms", 1.05});

    const fs::path large = photoFolder("photos100", 2, settings.largeW, settings.largeH);
    p.open(large);
    row = 0, file = 0;
    const auto [oursLarge, referenceLarge] =
        medians([&] { return p.clickToPainted(row++ % 2); },
                [&] { return turboDecode(large / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); });
    p.reportMessages();
    table.push_back({"B2", "click to picture painted, " + megapixels(settings.largeW, settings.largeH) + " JPEG",
                     oursLarge, referenceLarge, "ms", 1.05});
}

}  // namespace bench
