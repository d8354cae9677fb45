#include "view/view.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "browser/browser.h"

namespace pictavo {

std::string formatNumber(double value, std::string_view pattern) {
    const auto numericEnd = pattern.find_first_not_of("#,0.");
    const auto numeric = pattern.substr(0, numericEnd);
    const auto literal = numericEnd == std::string_view::npos ? std::string_view() : pattern.substr(numericEnd);
    const auto point = numeric.find('.');
    const int decimals = point == std::string_view::npos ? 0 : static_cast<int>(numeric.size() - point - 1);
    const bool grouping = numeric.substr(0, point).find(',') != std::string_view::npos;

    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string digits = buffer;
    std::string sign;
    if (!digits.empty() && digits[0] == '-') {
        sign = "-";
        digits.erase(0, 1);
    }
    const auto dot = digits.find('.');
    const std::string whole = digits.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : digits.substr(dot);
    std::string out = sign;
    for (std::size_t i = 0; i < whole.size(); ++i) {
        if (grouping && i > 0 && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    return out + fraction + std::string(literal);
}

std::string sizeText(std::int64_t bytes) {
    const double size = static_cast<double>(bytes);
    if (size < 1024000) return formatNumber(size / 1000, "#,#0.0KB");
    return formatNumber(size / 1024000, "#,#0.0MB");
}

std::string rightText(const std::string& text, std::size_t n) {
    return text.size() <= n ? text : text.substr(text.size() - n);
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
    f.svcomBtn.setEnabled(!bitmap);
    f.bmp.setEnabled(!bitmap);
    f.SetBtn.setEnabled(bitmap);
}

namespace {

void loadFailed(FormControls& f) {
    f.host.MsgBox(kLoadFailedMessage, MsgFlags::OkOnly);
    f.host.SetMousePointer(MousePointer::Default);
    f.filList.refresh();
    // Nothing to clear when the folder lists no file any more.
    if (f.filList.listCount() > 0) f.filList.setSelected(0, false);
    f.Timer1.setEnabled(false);
    f.stpBtn.setEnabled(false);
    f.delBtn.setEnabled(false);
    f.Del.setEnabled(false);
    f.cpyBtn.setEnabled(false);
    f.Cpy.setEnabled(false);
    // Re-read the folder list rather than move the focus to it: a person stepping through
    // the files with the arrow keys keeps the focus in the file list.
    f.dirList.refresh();
}

}  // namespace

void filList_Click(FormControls& f) {
    try {
        f.host.SetMousePointer(MousePointer::Hourglass);
        const std::string folder = f.dirList.path();
        const std::string sep(1, f.host.Separator());
        f.picPath = rightText(folder, 1) == sep ? folder + f.filList.fileName()
                                                : folder + sep + f.filList.fileName();
        f.Image1.setPicture(f.host.LoadPicture(f.picPath), f.host.TwipsPerPixelX(), f.host.TwipsPerPixelY());
        f.lstPos = countText(static_cast<std::int64_t>(f.filList.listIndex()) + 1);
        showPosition(f);
        fitViewport(f);
        f.host.SetMousePointer(MousePointer::Default);

        const bool bitmap = isBitmapPath(f.picPath);
        if (!f.Timer1.enabled()) {
            setBitmapCommands(f, bitmap);
        } else {
            f.svcomBtn.setEnabled(false);
            f.bmp.setEnabled(false);
            f.SetBtn.setEnabled(bitmap);
            f.renm.setEnabled(false);
        }

        f.filSize.setText(sizeText(f.host.FileLen(f.picPath)));
        f.StatusBar1.setPanelText(1, f.dirList.path() + sep + f.filList.fileName());
        f.StatusBar1.setPanelText(2, f.filSize.text());

        if (!f.Timer1.enabled()) {
            f.delBtn.setEnabled(true);
            f.Del.setEnabled(true);
            f.renm.setEnabled(true);
            const bool last = f.lstPos == f.lstTotal;
            f.autoRn.setEnabled(!last);
            f.Slider1.setEnabled(!last);
        } else {
            f.delBtn.setEnabled(false);
            f.Del.setEnabled(false);
            f.renm.setEnabled(false);
        }
        f.cpyBtn.setEnabled(true);
        f.Cpy.setEnabled(true);
    } catch (const HostError&) {
        loadFailed(f);
    }
}

void HScroll1_Change(FormControls& f) { f.Image1.setLeft(-static_cast<float>(f.HScroll1.value())); }
void VScroll1_Change(FormControls& f) { f.Image1.setTop(-static_cast<float>(f.VScroll1.value())); }

}  // namespace pictavo
