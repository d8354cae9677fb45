// SPDX-License-Identifier: MIT
// A1 to A5: decoding ahead. Stepping with the arrow keys, the slide show and a click after
// a rest on a picture (A1 to A4), and the arrow key held through 50 photos (A5).

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common.h"
#include "imaging/picture_reader.h"

namespace bench {

namespace {

double floorDecode(const fs::path& folder, int& file) {
    return turboDecode(folder / ("photo" + std::to_string(file++ % 4 + 1) + ".jpg"));
}

// A few pixels of a picture's top rows (those in view), spread across: enough to tell the
// photos of a folder apart.
constexpr int kFingerprintRows = 16;
struct Fingerprint {
    QSize size;
    std::vector<QRgb> pixels;
    friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

Fingerprint fingerprint(const QImage& image, QSize size) {
    Fingerprint f{size, {}};
    for (int i = 1; i < 8; ++i)
        for (int y = 0; y < kFingerprintRows; y += 5) f.pixels.push_back(image.pixel(image.width() * i / 8, y));
    return f;
}
Fingerprint fingerprint(const QImage& image) { return fingerprint(image, image.size()); }

// What the viewport shows of the picture on view as it is painted, without waiting for
// the rest of one still arriving; nothing when its top rows have not arrived.
std::optional<Fingerprint> shownFingerprint(const pictavo::Picture& picture) {
    const QSize size(picture.widthPx(), picture.heightPx());
    if (const auto& arrival = picture.arrival()) {
        int rows = 0;
        const QImage& part = arrival->soFar(rows);
        if (rows < kFingerprintRows || part.isNull()) return std::nullopt;
        return fingerprint(part, size);
    }
    const QImage* shown = picture.image();
    if (!shown) return std::nullopt;
    return fingerprint(*shown, size);
}

// What the viewport must show while each row of the step folder is selected: its file
// decoded by the plain reading code, once.
const std::vector<Fingerprint>& stepFingerprints() {
    static std::vector<Fingerprint> rows;
    if (rows.empty())
        for (int i = 1; i <= kSteps + 1; ++i)
            rows.push_back(fingerprint(pictavo::decodePicture(
                pictavo::readPictureFile(stepFolder() / ("photo" + std::to_string(i) + ".jpg")))));
    return rows;
}

// A key held at a desktop's usual repeat: the first repeat 660 ms after the press, then
// 30 a second. When each press of a held key falls due.
double pressDueMs(int press) { return press == 0 ? 0 : 660.0 + (press - 1) * (1000.0 / 30); }

// One frame of a 60 Hz screen: a photo on screen for less was never seen.
constexpr double kFrameMs = 1000.0 / 60;

struct HoldFigures {
    int fewestStepsPainted = kSteps;
    int mostUnseen = 0;  // photos on screen, whole in view, for less than a frame
    int wrongPictures = 0;
    std::vector<int> aheadHits;  // per run with decoding ahead: steps served by it
};

// The arrow key held down on the first row through kSteps photos, until the last one is
// painted. The repeats reach the window as the X server's do: those that fell due while
// it was busy arrive together, and the steps they ask for wait behind them. Each paint of
// the viewport is checked against the selected file's own picture.
double holdArrowDown(Program& p, bool ahead, HoldFigures& figures) {
    const std::vector<Fingerprint>& expected = stepFingerprints();
    p.decodeAhead(ahead);
    p.clickToPainted(0);
    Program::rest(1000);
    int paintedRow = 0, stepsPainted = 0;
    // Per row, from its first paint whole in view until another row's picture is painted.
    std::vector<double> seenFrom(kSteps + 1, -1), seenUntil(kSteps + 1, -1);
    const auto* view = static_cast<const pictavo::gui::PictureView*>(p.picture);
    Clock::time_point start;
    p.picturePaints.onPaint = [&] {
        const int row = p.form.c.filList.listIndex();
        const auto shown = shownFingerprint(p.form.c.Image1.picture());
        if (!shown) return;
        if (row < 0 || row > kSteps || *shown != expected[static_cast<std::size_t>(row)]) ++figures.wrongPictures;
        if (row < 0 || row > kSteps) return;
        if (row != paintedRow) {
            ++stepsPainted;
            if (seenFrom[std::size_t(paintedRow)] >= 0 && seenUntil[std::size_t(paintedRow)] < 0)
                seenUntil[std::size_t(paintedRow)] = msSince(start);
            paintedRow = row;
        }
        if (seenFrom[std::size_t(row)] < 0 && view->paintedAllInView()) seenFrom[std::size_t(row)] = msSince(start);
    };
    auto* cache = &p.host.pictures().held();
    const std::uint64_t hitsBefore = cache ? cache->hits() : 0;
    start = Clock::now();
    int pressed = 0;
    while (paintedRow < kSteps && msSince(start) < 600000) {
        while (pressed < kSteps && msSince(start) >= pressDueMs(pressed)) {
            QTest::keyPress(p.files, Qt::Key_Down);
            if (++pressed == kSteps) QTest::keyRelease(p.files, Qt::Key_Down);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    const double ms = msSince(start);
    p.picturePaints.onPaint = nullptr;
    Program::settle();
    figures.fewestStepsPainted = std::min(figures.fewestStepsPainted, stepsPainted);
    // Every photo the key passed, the first (rested on) and the last (stays) aside.
    int unseen = 0;
    for (int row = 1; row < kSteps; ++row)
        if (seenFrom[std::size_t(row)] < 0 || seenUntil[std::size_t(row)] - seenFrom[std::size_t(row)] < kFrameMs)
            ++unseen;
    figures.mostUnseen = std::max(figures.mostUnseen, unseen);
    if (ahead && cache) figures.aheadHits.push_back(static_cast<int>(cache->hits() - hitsBefore));
    // The picture shown at the end, whole, against the selected file read again by the
    // plain reading code (not through what is held ahead).
    const std::string selected = p.form.c.filList.fileName();
    const QImage fresh = pictavo::decodePicture(pictavo::readPictureFile(stepFolder() / selected));
    const QImage* shown = p.form.c.Image1.picture().image();
    if (!shown || *shown != fresh) std::printf("warning: the picture shown is not %s\n", selected.c_str());
    return ms;
}

}  // namespace

void benchAhead(Benchmarks& b) {
    Program& p = b.program;
    const fs::path photos = stepFolder();
    const std::string size = megapixels(settings.photoW, settings.photoH);
    p.decodeAhead(true);
    p.open(photos);
    int row = 0, file = 0;
    // Rest on a picture, then the arrow key to the next one.
    const auto [down, downFloor] = medians(
        [&] {
            p.clickToPainted(row++ % 4 * 2);
            Program::rest(1000);
            return p.keyToPainted(Qt::Key_Down);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A1", "arrow down after a 1 s rest, " + size + " JPEG", down, downFloor, "ms", 0.1});

    // Reached by arrow down, rest, then back up.
    const auto [up, upFloor] = medians(
        [&] {
            p.clickToPainted(row++ % 4 * 2);
            p.keyToPainted(Qt::Key_Down);
            Program::rest(1000);
            return p.keyToPainted(Qt::Key_Up);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A2", "arrow up after a 1 s rest, " + size + " JPEG", up, upFloor, "ms", 0.1});

    const double tick = median([&] {
        p.clickToPainted(row++ % 4 * 2);
        p.window.run([&] { p.form.c.autoRn.click(); });
        Program::rest(600);  // the show's own timer ticks at 1000 ms
        const int before = p.picturePaints.paints;
        const auto start = Clock::now();
        p.window.run([&] { p.form.c.Timer1.tick(); });
        p.waitForPicture(before);
        const double ms = msSince(start);
        p.window.run([&] { p.form.c.stpBtn.click(); });
        return ms;
    });
    table.push_back({"A3", "slide-show tick, " + size + " JPEGs, decoded ahead", tick, 1000, "ms", 0.05});

    // Other pictures were shown and their neighbours decoded; this one is far from them.
    const auto [cold, coldFloor] = medians(
        [&] {
            const int at = row++ % 4 * 2;
            p.clickToPainted(at);
            Program::rest(1000);
            return p.clickToPainted(at + 20);
        },
        [&] { return floorDecode(photos, file); });
    table.push_back({"A4", "click on a " + size + " JPEG not decoded ahead, to the part in view painted", cold,
                     coldFloor, "ms", 0.1});
    p.reportMessages();
}

void benchHold(Benchmarks& b) {
    Program& p = b.program;
    p.open(stepFolder());
    HoldFigures figures;
    // Against the key repeat's own time for the same presses: a ratio of 1 keeps pace.
    const double repeat = pressDueMs(kSteps - 1);
    const double held = median([&] { return holdArrowDown(p, true, figures); });
    p.decodeAhead(false);
    p.reportMessages();
    std::printf("A5: photos painted as the selection reached them, fewest of the runs: %d of %d\n",
                figures.fewestStepsPainted, kSteps);
    std::sort(figures.aheadHits.begin(), figures.aheadHits.end());
    if (!figures.aheadHits.empty())
        std::printf("A5: steps served by decoding ahead, median of the runs: %d of %d\n",
                    figures.aheadHits[figures.aheadHits.size() / 2], kSteps);
    if (figures.wrongPictures > 0)
        std::printf("warning: %d paints showed a picture that is not the selected file's\n", figures.wrongPictures);
    table.push_back({"A5",
                     "arrow held through 50 " + megapixels(settings.photoW, settings.photoH) +
                         " JPEGs, vs the key repeat (goal: 0.95 of its pace)",
                     held, repeat, "ms", 1.0 / 0.95});
    table.push_back({"A5f", "of the 49 photos passed, those on screen for less than a frame (17 ms), most of the runs",
                     double(figures.mostUnseen), double(kSteps - 1), "", 0.0});
}

}  // namespace bench
