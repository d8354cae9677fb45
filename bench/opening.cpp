// SPDX-License-Identifier: MIT
// B1 B2: a click on a JPEG until the part in view is painted, against libjpeg-turbo alone
// reading and decoding the whole file. B2w: the same click until the whole photo has
// arrived. B1p B2p B2wp: the same with photos that carry a colour profile (Adobe RGB),
// converted to the screen's (sRGB), against the same photos without one. R1: a menu asked for 50 ms into the open of a
// 100-megapixel photo, until it is on screen, against the same menu asked for while the window is idle.

#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <string>

#include "common.h"

namespace bench {

namespace {

// Until the photo on view has arrived whole.
double clickToWhole(Program& p, int row) {
    p.forgetPictures();
    const auto start = Clock::now();
    p.clickToPainted(row);
    if (const auto& arrival = p.form.c.Image1.picture().arrival()) (void)arrival->whole();
    return msSince(start);
}

// The Edit menu asked for `after` ms from now, with `during` started first; the time from
// the moment it was due to the moment it is painted on screen.
double menuDue(Program& p, int after, const std::function<void()>& during) {
    QMenu* edit = p.window.menuBar()->findChild<QMenu*>(QStringLiteral("Edit"));
    PaintCounter menuPaints;
    edit->installEventFilter(&menuPaints);
    const auto start = Clock::now();
    QTimer::singleShot(after, &p.window, [&] { edit->popup(p.window.mapToGlobal(QPoint(10, 10))); });
    if (during) during();
    while (menuPaints.paints == 0 && msSince(start) < 60000) QCoreApplication::processEvents(QEventLoop::AllEvents);
    const double late = msSince(start) - after;
    edit->hide();
    edit->removeEventFilter(&menuPaints);
    Program::settle();
    return late;
}

}  // namespace

void benchOpen(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = photoFolder("photos24", 3, settings.photoW, settings.photoH);
    p.open(photos);
    int row = 0, file = 0;
    const auto [ours, reference] = medians(
        [&] {
            p.forgetPictures();
            return p.clickToPainted(row++ % 2);
        },
        [&] { return turboDecode(photos / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); });
    p.reportMessages();
    table.push_back({"B1",
                     "click to the part in view painted, " + megapixels(settings.photoW, settings.photoH) + " JPEG",
                     ours, reference, "ms", 0.10});

    const fs::path large = photoFolder("photos100", 2, settings.largeW, settings.largeH);
    p.open(large);
    row = 0, file = 0;
    auto turboLarge = [&] { return turboDecode(large / ("photo" + std::to_string(file++ % 2 + 1) + ".jpg")); };
    const auto [oursLarge, referenceLarge] = medians(
        [&] {
            p.forgetPictures();
            return p.clickToPainted(row++ % 2);
        },
        turboLarge);
    p.reportMessages();
    table.push_back({"B2",
                     "click to the part in view painted, " + megapixels(settings.largeW, settings.largeH) + " JPEG",
                     oursLarge, referenceLarge, "ms", 0.05});

    const auto [oursWhole, referenceWhole] = medians([&] { return clickToWhole(p, row++ % 2); }, turboLarge);
    p.reportMessages();
    table.push_back({"B2w",
                     "click to the whole photo decoded, " + megapixels(settings.largeW, settings.largeH) + " JPEG",
                     oursWhole, referenceWhole, "ms", 1.0});

    // Profiled photos against the same photos without a profile, click for click.
    const fs::path adobe = "/usr/share/color/icc/colord/AdobeRGB1998.icc";
    const fs::path profiled = profiledFolder("photos24-adobe", photos, adobe);
    const fs::path profiledLarge = profiledFolder("photos100-adobe", large, adobe);
    const struct {
        const char* id;
        const fs::path* plain;
        const fs::path* withProfile;
        bool whole;
        const char* what;
        int width, height;
    } withProfiles[] = {
        {"B1p", &photos, &profiled, false, "click to the part in view painted", settings.photoW, settings.photoH},
        {"B2p", &large, &profiledLarge, false, "click to the part in view painted", settings.largeW, settings.largeH},
        {"B2wp", &large, &profiledLarge, true, "click to the whole photo decoded", settings.largeW, settings.largeH},
    };
    for (const auto& r : withProfiles) {
        int at = 0;
        auto click = [&](const fs::path& folder) {
            p.open(folder);
            const int clicked = at++ % 2;
            if (r.whole) return clickToWhole(p, clicked);
            p.forgetPictures();
            return p.clickToPainted(clicked);
        };
        const auto [oursProfiled, oursPlain] =
            medians([&] { return click(*r.withProfile); }, [&] { return click(*r.plain); });
        p.reportMessages();
        table.push_back({r.id,
                         std::string(r.what) + ", " + megapixels(r.width, r.height) +
                             " JPEG with an Adobe RGB profile, vs the same without",
                         oursProfiled, oursPlain, "ms", 1.10});
    }

    // The menu 50 ms into an open, against the menu alone. A floor of 1 ms on both keeps
    // the ratio of two very short waits meaningful.
    const auto [oursMenu, referenceMenu] = medians(
        [&] {
            p.forgetPictures();
            const int at = row++ % 2;
            const double late = menuDue(p, 50, [&] { p.clickToPainted(at); });
            if (const auto& arrival = p.form.c.Image1.picture().arrival()) (void)arrival->whole();
            return std::max(1.0, late);
        },
        [&] { return std::max(1.0, menuDue(p, 50, {})); });
    p.reportMessages();
    table.push_back(
        {"R1",
         "menu asked 50 ms into a " + megapixels(settings.largeW, settings.largeH) + " open, until on screen, vs idle",
         oursMenu, referenceMenu, "ms", 2.0});
}

}  // namespace bench
