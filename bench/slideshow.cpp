// SPDX-License-Identifier: MIT
// B7: one tick of the slide show, against its interval.

#include "common.h"

namespace bench {

void benchSlideShow(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    const double ours = median([&] {
        // Each tick steps from the first photo to the second; the show ends at the last.
        p.clickToPainted(0);
        p.window.run([&] { p.form.c.autoRn.click(); });
        const int before = p.picturePaints.paints;
        const auto start = Clock::now();
        p.window.run([&] { p.form.c.Timer1.tick(); });
        p.waitForPicture(before);
        return msSince(start);
    });
    p.window.run([&] { p.form.c.stpBtn.click(); });
    p.reportMessages();
    table.push_back(
        {"B7", "slide-show tick, " + megapixels(settings.photoW, settings.photoH) + " JPEGs (of the 1000 ms interval)",
         ours, 1000, "ms", 0.3});
}

}  // namespace bench
