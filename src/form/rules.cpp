// SPDX-License-Identifier: MIT
#include "form/rules.h"

#include "form/command_groups.h"

#include <cmath>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>

namespace pictavo {

std::string countText(std::int64_t n) { return std::to_string(n); }

void showPosition(FormControls& f) { f.lstCnt.setText(f.lstPos + "/" + f.lstTotal); }

void recount(FormControls& f) {
    f.lstTotal = countText(f.filList.listCount());
    f.lstPos = countText(static_cast<std::int64_t>(f.filList.listIndex()) + 1);
    showPosition(f);
}

namespace {

// Groups of three digits with "," and "." before the decimals, whatever the person's
// locale: the size text is the same everywhere.
struct GroupedDigits : std::numpunct<char> {
    char do_thousands_sep() const override { return ','; }
    std::string do_grouping() const override { return "\3"; }
};

std::string groupedTenths(double value) {
    static const std::locale grouped(std::locale::classic(), new GroupedDigits);
    std::ostringstream out;
    out.imbue(grouped);
    out << std::fixed << std::setprecision(1) << value;
    return out.str();
}

}  // namespace

std::string sizeText(std::int64_t bytes) {
    const double size = static_cast<double>(bytes);
    if (size < 1024000) return groupedTenths(size / 1000) + "KB";
    return groupedTenths(size / 1024000) + "MB";
}

std::string rightText(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
}

std::string listedFilePath(FormControls& f, const std::string& name) {
    const std::string folder = f.dirList.path();
    const std::string sep(1, f.files.Separator());
    return rightText(folder, 1) == sep ? folder + name : folder + sep + name;
}

std::vector<std::string> likelyNextPictures(FormControls& f) {
    std::vector<std::string> paths;
    const std::int32_t row = f.filList.listIndex();
    if (row < 0 || f.Image1.picture().isNull()) return paths;
    const auto& names = f.filList.names();
    // The way the person steps first.
    for (const int step : {f.stepDirection, -f.stepDirection}) {
        const std::int32_t next = row + step;
        if (next >= 0 && next < f.filList.listCount())
            paths.push_back(listedFilePath(f, names[static_cast<std::size_t>(next)]));
    }
    return paths;
}

void decodeLikelyNext(FormControls& f) { f.pictures.decodeAhead(f.files.toNative(likelyNextPictures(f))); }

bool pictureArrivedWhole(FormControls& f) {
    const auto& arrival = f.Image1.picture().arrival();
    if (!arrival) return true;
    if (arrival->end() == Arrival::End::None) {
        f.host.SetMousePointer(MousePointer::Hourglass);
        (void)arrival->whole();
        f.host.SetMousePointer(MousePointer::Default);
    }
    return arrival->end() == Arrival::End::Whole;
}

bool isBitmapPath(const std::string& path) {
    const std::string tail = rightText(path, 3);
    return tail == "bmp" || tail == "BMP";
}

std::int32_t scrollRange(float pictureSize, float viewportSize) {
    const double excess = std::nearbyint(static_cast<double>(pictureSize) - static_cast<double>(viewportSize));
    if (excess > std::numeric_limits<std::int32_t>::max() || excess < std::numeric_limits<std::int32_t>::min())
        throw HostError("Overflow");
    return static_cast<std::int32_t>(excess);
}

void fitScrollBar(ScrollBar& bar, float pictureSize, float viewportSize, bool toStart) {
    if (pictureSize < viewportSize) {
        bar.setVisible(false);
        return;
    }
    bar.setVisible(true);
    bar.setMax(scrollRange(pictureSize, viewportSize));
    if (toStart) bar.setValue(0);
}

void fitViewport(FormControls& f) {
    f.VScroll1.setValue(0);
    f.HScroll1.setValue(0);
    f.Image1.setTop(0);
    f.Image1.setLeft(0);
    fitScrollBar(f.VScroll1, f.Image1.place().height, f.Picture1.place().height, true);
    fitScrollBar(f.HScroll1, f.Image1.place().width, f.Picture1.place().width, true);
}

void setBitmapCommands(FormControls& f, bool bitmap) {
    enable(f, Commands::Save, !bitmap);
    f.SetBtn.setEnabled(bitmap);
}

}  // namespace pictavo
